#!/usr/bin/env python3
"""The desktop side end to end: desktop_e2e_client (GoogleTest, on the desktop side of the
link, without the board simulator) against the real qrb_server on a simulated board, both in
this script's private network namespace. Each case starts its own board and server and runs
a group of the client's tests; the restart case kills and restarts the server while the
client grabs."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "server"))
import board_server as harness  # noqa: E402
from desktop_arguments import parse_desktop_arguments  # noqa: E402

ARGS = None
# Upper bound for one run of the client (its own time-outs are far shorter).
CLIENT_TIMEOUT = 240


class DesktopTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="qrb_desktop.")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.server_dir = os.path.join(self.work, "server_cwd")
        os.mkdir(self.server_dir)
        self.power = harness.PowerGuard(self.work)

    def start_server(self, home, board_conf=None):
        server = harness.BoardServer(
            ARGS.server,
            ARGS.boardsim,
            board_conf=board_conf,
            env={**home.env(), **self.power.env()},
            cwd=self.server_dir,
        )
        self.addCleanup(server.cleanup)
        self.power.verify(server)
        server.start()
        server.wait_ready()
        return server

    def default_home(self):
        home = harness.CameraHome(ARGS.source_dir, ARGS.plugin)
        self.addCleanup(home.cleanup)
        return home

    def client_env(self, server, **extra):
        env = dict(os.environ)
        env.pop("LD_PRELOAD", None)
        env.update(
            {
                "ZE_BOARD": harness.SERVER_HOST,
                "QRB_E2E_SERVER": harness.SERVER_HOST,
                "ZE_HOME": os.path.abspath(ARGS.source_dir),
                "QRB_E2E_PLUGIN": os.path.abspath(ARGS.qrbtransport),
                "QRB_E2E_SENSOR_DATA": os.path.join(os.path.abspath(ARGS.source_dir), "sensor_data"),
                "QRB_E2E_BOARD_DIR": server.board_dir if server else "",
                "QRB_E2E_SERVER_DIR": self.server_dir,
                "TEST_TMPDIR": self.work,
            }
        )
        env.update(extra)
        return env

    def run_client(self, test_filter, env):
        result = subprocess.run(
            [ARGS.client, f"--gtest_filter={test_filter}"],
            env=env,
            cwd=self.work,
            capture_output=True,
            text=True,
            timeout=CLIENT_TIMEOUT,
            check=False,
        )
        if os.environ.get("QRB_E2E_VERBOSE"):
            print(result.stdout + result.stderr, file=sys.stderr)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotIn("[  SKIPPED ]", result.stdout.split("[==========]")[-1])
        return result

    def test_camera_registers_grabs_files_and_commands(self):
        server = self.start_server(self.default_home())
        self.run_client(
            "RemoteCamera*:FileTransfer.*:BoardCommands.*", self.client_env(server)
        )
        self.assertEqual(self.power.recorded(), "")

    def test_identification_on_the_desktop_over_the_boards_bus(self):
        # The board knows its sensor under a name the desktop's sensor data does not have.
        sensor = os.path.join(os.path.abspath(ARGS.source_dir), "sensor_data", "zx0042.sdat")
        home = tempfile.mkdtemp(prefix="qrb_home.", dir=self.work)
        os.mkdir(os.path.join(home, "sensor_data"))
        shutil.copy(sensor, os.path.join(home, "sensor_data", "board_copy.sdat"))
        os.mkdir(os.path.join(home, "Plugins"))
        os.symlink(os.path.abspath(ARGS.plugin), os.path.join(home, "Plugins", "libcsitransport.so"))

        class Home:
            @staticmethod
            def env():
                return {"ZE_HOME": home}

        conf = f"sensor_data = {sensor}\nsensor_address = 0x36\nbit_depth = 10\n"
        server = self.start_server(Home, board_conf=conf)
        self.run_client("DesktopIdentification.*", self.client_env(server))

    def test_server_killed_mid_grab_and_restarted(self):
        server = self.start_server(self.default_home())
        client = subprocess.Popen(
            [ARGS.client, "--gtest_filter=ServerRestart.*"],
            env=self.client_env(server),
            cwd=self.work,
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
            text=True,
        )
        self.addCleanup(client.kill)
        output = []
        for line in client.stdout:
            output.append(line)
            if line.strip() == "KILL":
                server.kill()
            elif line.strip() == "RESTART":
                server.start()
                server.wait_ready()
                client.stdin.write("RESTARTED\n")
                client.stdin.flush()
        status = client.wait(CLIENT_TIMEOUT)
        self.assertEqual(status, 0, "".join(output))

    def test_boards_that_cannot_be_reached(self):
        # A server that accepts connections (the kernel does) but never answers.
        silent = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.addCleanup(silent.close)
        silent.bind((harness.SERVER_HOST, 0))
        silent.listen(4)
        env = self.client_env(None, QRB_E2E_SILENT_PORT=str(silent.getsockname()[1]))
        self.run_client("NoBoard.*", env)


def main():
    harness.enter_private_network()
    global ARGS
    ARGS, rest = parse_desktop_arguments(__doc__, "client", "desktop_e2e_client")
    for path in (ARGS.server, ARGS.boardsim, ARGS.plugin, ARGS.client, ARGS.qrbtransport):
        if not os.path.isfile(path):
            print(f"{path} does not exist", file=sys.stderr)
            sys.exit(1)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
