#!/usr/bin/env python3
"""zentro, the command-line client, on the desktop side of the link to the real qrb_server on
a simulated board, both in this script's private network namespace: every subcommand through
--board, checked against what the board's bus saw (bus.log) and the files it wrote, and a
server that goes away in the middle of a grab and of an upload."""
import hashlib
import json
import os
import pty
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "server"))
import board_server as harness  # noqa: E402
from desktop_arguments import parse_desktop_arguments  # noqa: E402

ARGS = None
# Upper bound for one run of zentro; its own time-outs are far shorter.
RUN_TIMEOUT = 120
# How long a zentro whose server vanished may take to give up (its time-outs are seconds).
GIVE_UP_TIMEOUT = 60
POLL_INTERVAL = 0.001
BUS = "0x0010"  # the sensor's bus address as bus.log writes it
WIDTH, HEIGHT, DEPTH = 1920, 1200, 12
UPLOAD_SIZE = 96 * 1024 * 1024
PARTIAL_SUFFIX = "~temp"
EXIT_FAILED, EXIT_USAGE, EXIT_NO_CAMERA = 1, 2, 3


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def png_chunks(path):
    """The chunks of a PNG file as (type, data), after checking its signature."""
    with open(path, "rb") as stream:
        data = stream.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    chunks, offset = [], 8
    while offset < len(data):
        (length,) = struct.unpack(">I", data[offset : offset + 4])
        kind = data[offset + 4 : offset + 8].decode("ascii")
        chunks.append((kind, data[offset + 8 : offset + 8 + length]))
        offset += 12 + length
    return chunks


class ZentroOnBoard(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="zentro_e2e.")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.server_dir = os.path.join(self.work, "server_cwd")
        os.mkdir(self.server_dir)
        self.power = harness.PowerGuard(self.work)
        self.home = harness.CameraHome(ARGS.source_dir, ARGS.plugin)
        self.addCleanup(self.home.cleanup)
        self.server = harness.BoardServer(
            ARGS.server,
            ARGS.boardsim,
            env={**self.home.env(), **self.power.env()},
            cwd=self.server_dir,
        )
        self.addCleanup(self.server.cleanup)
        self.power.verify(self.server)
        self.server.start()
        self.server.wait_ready()

    def tearDown(self):
        self.assertEqual(self.power.recorded(), "")

    def env(self):
        env = dict(os.environ)
        env.pop("LD_PRELOAD", None)
        env.pop("ZE_BOARD", None)
        env["ZE_HOME"] = os.path.abspath(ARGS.source_dir)
        env["ZE_PLUGIN_DIR"] = os.path.dirname(os.path.abspath(ARGS.qrbtransport))
        return env

    def command(self, *args):
        return [ARGS.zentro, "--board", harness.SERVER_HOST, *args]

    def zentro(self, *args, status=0):
        result = subprocess.run(
            self.command(*args), env=self.env(), cwd=self.work, capture_output=True, text=True,
            timeout=RUN_TIMEOUT, check=False,
        )
        self.assertEqual(result.returncode, status, f"zentro {' '.join(args)}\n{result.stdout}{result.stderr}")
        return result

    def zentro_json(self, *args, status=0):
        return json.loads(self.zentro("--json", *args, status=status).stdout)

    def start_zentro(self, *args):
        process = subprocess.Popen(
            self.command(*args), env=self.env(), cwd=self.work, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, text=True,
        )
        self.addCleanup(process.kill)
        return process

    def bus_log_after(self, action):
        before = len(harness.read_bus_log(self.server.board_dir))
        action()
        return harness.read_bus_log(self.server.board_dir)[before:]

    def restart_server(self):
        self.server.start()
        self.server.wait_ready()

    def test_info_identifies_the_boards_sensor(self):
        info = self.zentro_json("info")
        sensor = info["sensor"]
        self.assertEqual(sensor["name"], "ZX0201")
        self.assertEqual((sensor["imageWidth"], sensor["imageHeight"]), (WIDTH, HEIGHT))
        self.assertEqual(sensor["bitsPerPixel"], DEPTH)
        self.assertTrue(sensor["sensorDataFile"].endswith("zx0201.sdat"), sensor)
        text = self.zentro("info").stdout
        self.assertIn("Sensor        ZX0201\n", text)

    def test_regs_lists_what_the_sensor_holds(self):
        self.zentro("set", "COARSE_INTEGRATION_TIME=0x0345")
        listing = self.zentro_json("regs")
        values = {reg["name"]: reg["value"] for reg in listing["registers"]}
        self.assertEqual(values["CHIP_VERSION_REG"], 0x0C54)
        self.assertEqual(values["COARSE_INTEGRATION_TIME"], 0x0345)
        self.assertGreater(listing["count"], 40)
        text = self.zentro("regs", "coarse*").stdout
        self.assertIn("COARSE_INTEGRATION_TIME", text)
        self.assertIn("837 (0x0345)", text)

    def test_get_and_set_reach_the_sensors_bus(self):
        written = self.bus_log_after(lambda: self.zentro("set", "COARSE_INTEGRATION_TIME=0x300"))
        self.assertIn(f"S_REGISTER {BUS} 0x3114 0x0300", written)
        read = self.bus_log_after(
            lambda: self.assertEqual(
                self.zentro_json("get", "COARSE_INTEGRATION_TIME")["value"], 0x300
            )
        )
        self.assertIn(f"G_REGISTER {BUS} 0x3114 0x0300", read)
        # A bitfield keeps the register's other bits.
        self.zentro("set", "READOUT_MODE=0x0002")
        field = self.bus_log_after(lambda: self.zentro("set", "READOUT_MODE.HORIZ_MIRROR=1"))
        self.assertIn(f"S_REGISTER {BUS} 0x310c 0x0003".lower(), [line.lower() for line in field])
        refused = self.bus_log_after(
            lambda: self.zentro("set", "COARSE_INTEGRATION_TIME=70000", status=EXIT_USAGE)
        )
        self.assertFalse([line for line in refused if line.startswith("S_REGISTER")], refused)

    def test_preset_from_apps_data_writes_its_registers(self):
        preset = os.path.join(os.path.abspath(ARGS.source_dir), "apps_data", "zx0201.ini")
        written = self.bus_log_after(
            lambda: self.zentro("preset", preset, "Test Pattern: Colour Bars")
        )
        writes = [line.lower() for line in written if line.startswith("S_REGISTER")]
        self.assertIn(f"S_REGISTER {BUS} 0x3140 0x0002".lower(), writes)
        self.assertIn(f"S_REGISTER {BUS} 0x314a 0x00f0".lower(), writes)

    def test_grab_writes_sixteen_bit_png_files(self):
        result = self.zentro("grab", "-n", "2", "-o", "shots")
        # The board's camera streams after a sensor reset, which the first grab makes.
        self.assertIn("resetting its sensor", result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(len(lines), 2, result.stdout)
        self.assertTrue(lines[0].startswith("shots/frame_0000.png: frame "), lines)
        self.assertTrue(lines[0].endswith(f", {WIDTH * HEIGHT * 2} bytes"), lines)
        self.assertEqual(sorted(os.listdir(os.path.join(self.work, "shots"))),
                         ["frame_0000.png", "frame_0001.png"])
        chunks = png_chunks(os.path.join(self.work, "shots", "frame_0001.png"))
        header = dict(chunks)["IHDR"]
        width, height, depth, colour = struct.unpack(">IIBB", header[:10])
        self.assertEqual((width, height, depth, colour), (WIDTH, HEIGHT, 16, 0))
        self.assertEqual(dict(chunks)["sBIT"], bytes([DEPTH]))
        pixels = zlib.decompress(b"".join(data for kind, data in chunks if kind == "IDAT"))
        self.assertEqual(len(pixels), HEIGHT * (1 + WIDTH * 2))

    def test_the_boards_camera_keeps_streaming_and_its_settings_between_runs(self):
        self.assertIn("resetting its sensor", self.zentro("grab", "-o", "first").stderr)
        self.zentro("set", "COARSE_INTEGRATION_TIME=0x0456")
        # No reset (it would put the sensor's registers back to their defaults): the second
        # run grabs from the stream the first one started.
        self.assertNotIn("resetting", self.zentro("grab", "-n", "2", "-o", "later").stderr)
        self.assertEqual(self.zentro_json("get", "COARSE_INTEGRATION_TIME")["value"], 0x0456)
        numbers = [int(line.split("frame ")[1].split(",")[0])
                   for line in self.zentro("grab", "-n", "2", "-o", "last").stdout.splitlines()]
        self.assertEqual(len(numbers), 2)
        self.assertGreater(numbers[0], 1)

    def test_upload_and_download_copy_files_whole(self):
        source = os.path.join(self.work, "source.bin")
        with open(source, "wb") as stream:
            stream.write(os.urandom(3 * 1024 * 1024 + 17))
        remote = os.path.join(self.work, "on_board.bin")
        uploaded = self.zentro_json("upload", source, remote)
        self.assertEqual(uploaded["bytes"], os.path.getsize(source))
        self.assertEqual(sha256_of(remote), sha256_of(source))
        local = os.path.join(self.work, "back.bin")
        result = self.zentro("download", remote, local)
        # Not a terminal: no progress bar, one line.
        self.assertEqual(result.stdout.count("\n"), 1, result.stdout)
        self.assertNotIn("\r", result.stdout)
        self.assertEqual(sha256_of(local), sha256_of(source))
        self.assertFalse(os.path.exists(local + PARTIAL_SUFFIX))
        missing = self.zentro("download", os.path.join(self.work, "none"), local, status=EXIT_FAILED)
        self.assertIn("zentro: cannot download", missing.stderr)

    def test_a_terminal_sees_a_progress_bar(self):
        source = os.path.join(self.work, "source.bin")
        with open(source, "wb") as stream:
            stream.write(os.urandom(5 * 1024 * 1024))
        controller, terminal = pty.openpty()
        self.addCleanup(os.close, controller)
        with os.fdopen(terminal, "wb") as stdout:
            upload = subprocess.run(
                self.command("upload", source, os.path.join(self.work, "copy.bin")),
                env=self.env(), cwd=self.work, stdout=stdout, stderr=subprocess.PIPE,
                timeout=RUN_TIMEOUT, check=False,
            )
        self.assertEqual(upload.returncode, 0, upload.stderr)
        shown = b""
        while select.select([controller], [], [], 0)[0]:
            try:
                block = os.read(controller, 65536)
            except OSError:
                break
            if not block:
                break
            shown += block
        self.assertIn(b"\r[", shown)
        self.assertIn(b"100%", shown)
        self.assertIn(b"Uploaded ", shown)

    def test_run_prints_the_commands_status_and_versions_the_boards(self):
        marker = os.path.join(self.work, "ran")
        ok = self.zentro("run", f"touch {marker}")
        self.assertEqual(ok.stdout, f"touch {marker}: exit status 0\n")
        self.assertTrue(os.path.exists(marker))
        failed = self.zentro_json("run", "exit 3", status=EXIT_FAILED)
        self.assertEqual((failed["exitCode"], failed["signal"]), (3, 0))
        versions = self.zentro_json("versions")
        self.assertEqual(set(versions), {"release", "kernel", "drivers", "server", "complete"})
        self.assertTrue(versions["server"])

    def test_a_server_that_goes_away_mid_grab_ends_the_grab_with_an_error(self):
        shots = os.path.join(self.work, "shots")
        grab = self.start_zentro("grab", "-n", "1000", "-o", "shots", "--format", "raw")
        recording = os.path.join(shots, "frames.raw")
        # Under way once its temporary recording holds a few frames.
        def under_way():
            if not os.path.isdir(shots):
                return False
            sizes = [os.path.getsize(os.path.join(shots, name)) for name in os.listdir(shots)]
            return any(size >= 3 * WIDTH * HEIGHT * 2 for size in sizes)
        self.assertTrue(harness.wait_until(under_way, RUN_TIMEOUT, POLL_INTERVAL))
        self.server.kill()
        out, err = grab.communicate(timeout=GIVE_UP_TIMEOUT)
        self.assertNotEqual(grab.returncode, 0, out + err)
        self.assertIn("zentro: grab", err)
        # The frames recorded before stay, described, and nothing half-written is left.
        names = sorted(os.listdir(shots))
        self.assertEqual(names, ["frames.raw", "frames_info.txt"], names)
        frames = os.path.getsize(recording) // (WIDTH * HEIGHT * 2)
        self.assertEqual(os.path.getsize(recording), frames * WIDTH * HEIGHT * 2)
        with open(os.path.join(shots, "frames_info.txt"), encoding="utf-8") as info:
            self.assertIn(f"Frames         = {frames}\n", info.read())

    def test_a_server_that_goes_away_mid_upload_is_resumed_afterwards(self):
        source = os.path.join(self.work, "big.bin")
        with open(source, "wb") as stream:
            stream.write(os.urandom(UPLOAD_SIZE))
        remote = os.path.join(self.work, "big_on_board.bin")
        partial = remote + PARTIAL_SUFFIX
        upload = self.start_zentro("upload", source, remote)
        self.assertTrue(
            harness.wait_until(lambda: os.path.exists(partial) and os.path.getsize(partial) > 0,
                               RUN_TIMEOUT, POLL_INTERVAL)
        )
        # Frozen at once, then gone: the upload stops part-way.
        os.kill(self.server.pid, signal.SIGSTOP)
        self.server.kill()
        out, err = upload.communicate(timeout=GIVE_UP_TIMEOUT)
        self.assertNotEqual(upload.returncode, 0, out + err)
        self.assertIn("zentro: cannot upload", err)
        self.assertFalse(os.path.exists(remote))
        self.assertLess(os.path.getsize(partial), UPLOAD_SIZE)
        self.restart_server()
        self.zentro("upload", source, remote)
        self.assertEqual(sha256_of(remote), sha256_of(source))
        self.assertFalse(os.path.exists(partial))

    def test_an_unreachable_board_is_exit_status_three(self):
        self.server.kill()
        for args in (("info",), ("versions",), ("upload", __file__, "/tmp/x")):
            result = self.zentro(*args, status=EXIT_NO_CAMERA)
            self.assertTrue(result.stderr.startswith("zentro: "), result.stderr)


def main():
    global ARGS
    harness.enter_private_network()
    ARGS, rest = parse_desktop_arguments(__doc__, "zentro", "the zentro program")
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
