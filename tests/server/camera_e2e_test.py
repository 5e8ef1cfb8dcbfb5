#!/usr/bin/env python3
"""qrb_server end to end with the board camera, opened through the board plug-in on the
simulated board: opening and listing, registers by bus address and by sensor address space
(checked in the board's bus.log), modes, frame and buffer sizes, grabbing and fetching frames
in chunks (checked against the board's test pattern), refetching after a reconnection,
separate buffers per device name, closing and reopening, and the refusal of bad arguments."""
import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import board_server as harness  # noqa: E402
from board_server import SERVER_HOST  # noqa: E402
from qrb_client import (  # noqa: E402
    DEFAULT_CHUNK,
    MAX_REGISTERS,
    RET_NOT_SUPPORTED,
    RET_OK,
    RET_REFUSED,
    CommandFailed,
    QrbClient,
)

CAMERA = "camera0"
# The default board: ZX0201 at bus address 0x10 (0x20 in the sensor file's 8-bit form),
# 1920 x 1200 samples of 12 bits, delivered as 16-bit little-endian words.
SHIP_ADDR = 0x20
BUS_ADDR_TEXT = "0x0010"
WIDTH, HEIGHT, DEPTH = 1920, 1200, 12
FRAME_BYTES = WIDTH * HEIGHT * 2
CHIP_VERSION_REG, CHIP_VERSION = 0x3000, 0x0C54
FRAME_LENGTH_REG = 0x3110  # followed by the line length and the integration time
TIMING_DEFAULTS = [1250, 2200, 0x0200]
CORE_SPACE = 0
ZE_REG_ADDR_SIZE, ZE_REG_DATA_SIZE, ZE_SENSOR_RESET = 1, 2, 19
ZE_BITS_PER_CLOCK, ZE_CLOCKS_PER_PIXEL = 33, 34
MIB = 1 << 20
COUNTER_SAMPLES = 4
# Requests whose "deviceName" names no camera: too short, out of range, not a number.
UNRESOLVED_NAMES = ["camera", "cam7", "camera50", "camera-1", "camera 0", "camera0x", 5, None]
# Numeric arguments refused for their JSON type or range: as u32 and as i32.
BAD_TYPES = [1.5, "16", True, [16], {"n": 16}]
BAD_NUMBERS = [-1, 2**32, *BAD_TYPES]
BAD_SIGNED = [-(2**31) - 1, 2**31, *BAD_TYPES]

OK = {"retVal": RET_OK}
REFUSED = {"retVal": RET_REFUSED}
CAMERA_MAP_KEYS = {
    "deviceName",
    "productVersion",
    "productName",
    "firmwareVersion",
    "productSerialNumber",
    "driverInfoString",
    "serdesPartNumber",
    "sensorFileName",
    "sensorFileRevision",
    "sensorFileRevisionTags",
}
SMALL_BYTES = 640 * 480 * 2

ARGS = None


def configure(args):
    global ARGS
    ARGS = args
    harness.skip_without_plugin(args)


def expected_frame(number):
    """The board's test pattern for frame `number`: sample (x, y) = (x + 2y + n) mod 2^depth
    as 16-bit little-endian words, the first four samples holding the frame number's bytes."""
    modulus = 1 << DEPTH
    # One run long enough for any row; row y starts (2y + n) mod 2^depth samples into it.
    run = struct.pack(f"<{modulus + WIDTH}H", *((k % modulus) for k in range(modulus + WIDTH)))
    rows = []
    for y in range(HEIGHT):
        start = (2 * y + number) % modulus
        rows.append(run[2 * start : 2 * (start + WIDTH)])
    counter = struct.pack(f"<{COUNTER_SAMPLES}H", *((number >> (8 * i)) & 0xFF for i in range(4)))
    rows[0] = counter + rows[0][2 * COUNTER_SAMPLES :]
    return b"".join(rows)


def frame_number(image):
    samples = struct.unpack_from(f"<{COUNTER_SAMPLES}H", image)
    return sum((sample & 0xFF) << (8 * i) for i, sample in enumerate(samples))


def assert_pattern(test, image, number=None):
    """`image` is a whole frame of the test pattern (frame `number` when given)."""
    if number is None:
        number = frame_number(image)
    test.assertEqual(len(image), FRAME_BYTES)
    # Compare whole rows so that a mismatch names its row rather than dumping megabytes.
    expected = expected_frame(number)
    for row in range(HEIGHT):
        span = slice(row * WIDTH * 2, (row + 1) * WIDTH * 2)
        if image[span] != expected[span]:
            test.fail(f"frame {number}: row {row} differs from the test pattern")


def new_server(home):
    server = harness.BoardServer(ARGS.server, ARGS.boardsim, env=home.env())
    return server


class CameraServerTest(unittest.TestCase):
    """One server for the class, its camera opened and streaming."""

    @classmethod
    def setUpClass(cls):
        cls.home = harness.CameraHome(ARGS.source_dir, ARGS.plugin)
        cls.server = new_server(cls.home)
        try:
            cls.server.start()
            cls.server.wait_ready()
            with QrbClient(SERVER_HOST) as client:
                cls.opened = client.open_cameras()
                # The board's camera streams once its sensor has been through a reset.
                for request in (
                    lambda: client.set_mode(CAMERA, ZE_SENSOR_RESET, 1),
                    lambda: client.set_mode(CAMERA, ZE_SENSOR_RESET, 0),
                    lambda: client.start_transport(CAMERA),
                ):
                    reply = request()
                    assert reply == OK, (reply, cls.server.describe())
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.server.cleanup()
        cls.home.cleanup()

    def command(self):
        client = QrbClient(SERVER_HOST).connect()
        self.addCleanup(client.close)
        return client

    def frames(self):
        client = QrbClient.frame_server(SERVER_HOST).connect()
        self.addCleanup(client.close)
        return client

    def bus_log_after(self, action):
        """The bus.log lines that `action()` added."""
        before = len(harness.read_bus_log(self.server.board_dir))
        action()
        return harness.read_bus_log(self.server.board_dir)[before:]

    def test_open_lists_the_camera_once_and_a_second_open_only_lists_it(self):
        cameras = self.opened["pCameras"]
        self.assertEqual(self.opened["retVal"], RET_OK)
        self.assertEqual(len(cameras), 1)
        camera = cameras[0]
        self.assertEqual(camera["deviceName"], CAMERA)
        sensor_file = os.path.join(os.path.realpath(ARGS.source_dir), "sensor_data", "zx0201.sdat")
        self.assertEqual(camera["sensorFileName"], sensor_file)
        self.assertEqual(camera["productSerialNumber"], "QRB2000001-1421223012345")
        self.assertIn(self.home.plugin, camera["driverInfoString"])
        self.assertEqual(set(camera), CAMERA_MAP_KEYS)
        lines = self.server.stdout_lines()
        self.assertIn(f"Product Name: {camera['productName']}", lines)
        # Whatever it names, a later open does not open again.
        bus_lines = self.bus_log_after(
            lambda: self.assertEqual(
                self.command().open_cameras("/nowhere/other.xsdat"), self.opened
            )
        )
        self.assertEqual(bus_lines, [])
        listed = self.command().open_cameras_no_sensor()["pCameras"]
        self.assertEqual([camera["deviceName"] for camera in listed], [CAMERA])

    def test_registers_by_bus_address_reach_the_sensor(self):
        client = self.command()
        self.assertEqual(
            client.read_register(CAMERA, SHIP_ADDR, CHIP_VERSION_REG), {**OK, "val": CHIP_VERSION}
        )
        written = self.bus_log_after(
            lambda: self.assertEqual(client.write_register(CAMERA, SHIP_ADDR, 0x3012, 0x0042), OK)
        )
        self.assertEqual(written, [f"S_REGISTER {BUS_ADDR_TEXT} 0x3012 0x0042"])
        self.assertEqual(client.read_register(CAMERA, SHIP_ADDR, 0x3012)["val"], 0x0042)
        # The widths stay set for the connection's later requests.
        self.assertEqual(client.get_mode(CAMERA, ZE_REG_ADDR_SIZE), {"retVal": RET_OK, "val": 16})
        self.assertEqual(client.get_mode(CAMERA, ZE_REG_DATA_SIZE), {"retVal": RET_OK, "val": 16})

        self.assertEqual(
            client.read_registers(CAMERA, SHIP_ADDR, FRAME_LENGTH_REG, 3),
            {**OK, "vals": TIMING_DEFAULTS},
        )
        written = self.bus_log_after(
            lambda: self.assertEqual(
                client.write_registers(CAMERA, SHIP_ADDR, 0x3120, [0x11, 0x22]), OK
            )
        )
        self.assertTrue(any("0x3120" in line for line in written), written)
        self.assertEqual(client.read_registers(CAMERA, SHIP_ADDR, 0x3120, 2)["vals"], [0x11, 0x22])
        self.assertEqual(client.read_registers(CAMERA, SHIP_ADDR, 0x3120, 0), {**OK, "vals": []})

    def test_sensor_registers_by_address_space(self):
        client = self.command()
        self.assertEqual(
            client.read_sensor_registers(CAMERA, SHIP_ADDR, CORE_SPACE, FRAME_LENGTH_REG, 3),
            {"retVal": RET_OK, "vals": TIMING_DEFAULTS},
        )
        written = self.bus_log_after(
            lambda: self.assertEqual(
                client.write_sensor_registers(CAMERA, SHIP_ADDR, CORE_SPACE, 0x3114, [0x0300]), OK
            )
        )
        self.assertIn(f"S_REGISTER {BUS_ADDR_TEXT} 0x3114 0x0300", written)
        self.assertEqual(client.read_register(CAMERA, SHIP_ADDR, 0x3114)["val"], 0x0300)
        client.write_register(CAMERA, SHIP_ADDR, 0x3114, 0x0200)

    def test_modes_and_frame_and_buffer_sizes(self):
        client = self.command()
        self.assertEqual(client.get_mode(CAMERA, ZE_BITS_PER_CLOCK), {**OK, "val": DEPTH})
        self.assertEqual(
            client.update_frame_size(CAMERA, WIDTH, HEIGHT, DEPTH, 1),
            {
                "retVal": RET_OK,
                "width": WIDTH,
                "height": HEIGHT,
                "imageType": 12,
                "bitsPerClock": DEPTH,
                "clocksPerPixel": 1,
                "pixelBits": DEPTH,
                "pixelBytes": 2,
                "bufferSize": FRAME_BYTES,
            },
        )
        self.assertEqual(
            client.update_buffer_size(CAMERA, FRAME_BYTES), {**OK, "bufferSize": FRAME_BYTES}
        )

    def test_grabbed_frame_fetched_in_chunks_is_the_test_pattern(self):
        frames = self.frames()
        image, info = frames.grab_frame(CAMERA, FRAME_BYTES, chunk_size=MIB)
        self.assertEqual(info["bytesReturned"], FRAME_BYTES)
        self.assertEqual(info["imageBytesReturned"], FRAME_BYTES)
        self.assertEqual(len(info), 14)
        assert_pattern(self, image)
        self.assertEqual(info["frameNumber"], frame_number(image))
        # The default chunk, the last partial chunk, the end, and a smaller "bufferSize".
        self.assertEqual(frames.bulk_transfer(CAMERA, 0), image[:DEFAULT_CHUNK])
        self.assertEqual(frames.bulk_transfer(CAMERA, FRAME_BYTES - 100, MIB), image[-100:])
        self.assertEqual(frames.bulk_transfer(CAMERA, FRAME_BYTES, MIB), b"")
        self.assertEqual(frames.bulk_transfer(CAMERA, 0, MIB, 1000), image[:1000])
        self.assertEqual(frames.bulk_transfer(CAMERA, 2**32 - 1, MIB), b"")
        # A larger "bufferSize" than the image grabs the image.
        self.assertEqual(frames.grab(CAMERA, FRAME_BYTES + 4096)["bytesRequested"], FRAME_BYTES)
        # A smaller one grabs that many bytes: the head of a later frame.
        small = frames.grab(CAMERA, 4096)
        self.assertEqual(small["retVal"], RET_OK)
        head = frames.fetch_frame(CAMERA, 4096)
        self.assertEqual(head, expected_frame(frame_number(head))[:4096])
        self.assertEqual(frames.bulk_transfer(CAMERA, 4096, MIB), b"")

    def test_fetch_after_a_reconnection_serves_the_same_frame(self):
        frames = self.frames()
        self.assertEqual(frames.grab(CAMERA, FRAME_BYTES)["retVal"], RET_OK)
        first = frames.bulk_transfer(CAMERA, 0, MIB)
        frames.abort()
        again = QrbClient.frame_server(SERVER_HOST).connect()
        self.addCleanup(again.close)
        image = again.fetch_frame(CAMERA, FRAME_BYTES, MIB)
        self.assertEqual(image[:MIB], first)
        assert_pattern(self, image, frame_number(first))

    def test_two_device_names_of_one_camera_keep_separate_buffers(self):
        frames = self.frames()
        self.assertEqual(frames.grab(CAMERA, FRAME_BYTES)["retVal"], RET_OK)
        self.assertEqual(frames.grab("xxxxxx0", FRAME_BYTES)["retVal"], RET_OK)
        first = frames.fetch_frame(CAMERA, FRAME_BYTES, MIB)
        second = frames.fetch_frame("xxxxxx0", FRAME_BYTES, MIB)
        # The later grab is a later frame, in a buffer of its own.
        self.assertGreater(frame_number(second), frame_number(first))
        assert_pattern(self, first)
        assert_pattern(self, second)
        # A name never grabbed has nothing to send.
        self.assertEqual(frames.bulk_transfer("yyyyyy0", 0), b"")

    def test_names_of_no_camera_are_refused_by_both_servers(self):
        client, frames = self.command(), self.frames()
        for name in UNRESOLVED_NAMES:
            with self.subTest(name=name):
                self.assertEqual(client.get_mode(name, ZE_REG_ADDR_SIZE), REFUSED)
                self.assertEqual(client.read_register(name, SHIP_ADDR, CHIP_VERSION_REG), REFUSED)
                self.assertEqual(frames.grab(name, FRAME_BYTES), {"retVal": RET_NOT_SUPPORTED})
                with self.assertRaises(CommandFailed) as failure:
                    frames.bulk_transfer(name, 0)
                self.assertEqual(failure.exception.reply, {"retVal": RET_NOT_SUPPORTED})
        self.assertEqual(
            frames.call({"api": "zz_other", "deviceName": CAMERA}), {"retVal": RET_NOT_SUPPORTED}
        )

    def test_bad_arguments_are_refused_before_anything_reaches_the_bus(self):
        client, frames = self.command(), self.frames()
        requests = {
            "regAddr": lambda v: client.read_register(CAMERA, SHIP_ADDR, v),
            "val": lambda v: client.write_register(CAMERA, SHIP_ADDR, 0x3012, v),
            "numRegs": lambda v: client.read_registers(CAMERA, SHIP_ADDR, 0x3000, v),
            "vals": lambda v: client.write_registers(CAMERA, SHIP_ADDR, 0x3012, [1, v]),
            "mode": lambda v: client.get_mode(CAMERA, v),
            "width": lambda v: client.update_frame_size(CAMERA, v, HEIGHT, DEPTH, 1),
        }
        for key, request in requests.items():
            for value in BAD_SIGNED if key == "mode" else BAD_NUMBERS:
                with self.subTest(key=key, value=value):
                    traffic = self.bus_log_after(
                        lambda: self.assertEqual(request(value), REFUSED)
                    )
                    self.assertEqual(traffic, [])
        # Counts beyond the bound are refused; the bound itself is served.
        for count in (MAX_REGISTERS + 1, 2**32 - 1):
            self.assertEqual(client.read_registers(CAMERA, SHIP_ADDR, 0, count), REFUSED)
        too_many = [0] * (MAX_REGISTERS + 1)
        self.assertEqual(client.write_registers(CAMERA, SHIP_ADDR, 0x3012, too_many), REFUSED)
        most = client.read_sensor_registers(CAMERA, SHIP_ADDR, CORE_SPACE, 0, MAX_REGISTERS)
        self.assertEqual(len(most["vals"]), MAX_REGISTERS)
        for value in BAD_NUMBERS:
            with self.subTest(bufferSize=value):
                self.assertEqual(frames.grab(CAMERA, value)["retVal"], RET_REFUSED)
                self.assertEqual(frames.bulk_transfer(CAMERA, value), b"")
        # Still working.
        self.assertEqual(client.read_register(CAMERA, SHIP_ADDR, CHIP_VERSION_REG)["val"], 0x0C54)


class OpenCloseTest(unittest.TestCase):
    """Closing, reopening and overriding the sensor record, each on a server of its own."""

    def setUp(self):
        self.home = harness.CameraHome(ARGS.source_dir, ARGS.plugin)
        self.addCleanup(self.home.cleanup)
        self.server = new_server(self.home)
        self.addCleanup(self.server.cleanup)
        self.server.start()
        self.server.wait_ready()
        self.client = QrbClient(SERVER_HOST).connect()
        self.addCleanup(self.client.close)
        self.assertEqual(len(self.client.open_cameras()["pCameras"]), 1, self.server.describe())

    def start_streaming(self):
        for value in (1, 0):
            self.assertEqual(self.client.set_mode(CAMERA, ZE_SENSOR_RESET, value), OK)
        self.assertEqual(self.client.start_transport(CAMERA), OK)

    def test_stop_ends_the_stream_until_the_camera_is_started_again(self):
        self.start_streaming()
        with QrbClient.frame_server(SERVER_HOST) as frames:
            self.assertEqual(frames.grab(CAMERA, FRAME_BYTES)["retVal"], RET_OK)
        self.assertEqual(self.client.stop_transport(CAMERA), OK)
        with QrbClient.frame_server(SERVER_HOST) as frames:
            self.assertNotEqual(frames.grab(CAMERA, FRAME_BYTES)["retVal"], RET_OK)
        self.start_streaming()
        with QrbClient.frame_server(SERVER_HOST) as frames:
            image, _ = frames.grab_frame(CAMERA, FRAME_BYTES, MIB)
        assert_pattern(self, image)

    def test_close_ends_the_camera_and_the_next_open_opens_again(self):
        client = self.client
        # Names of no open camera close nothing.
        self.assertEqual(client.close_cameras(["camera1", "camera50", "cameraX", "", 0]), OK)
        self.assertEqual(client.close_cameras([]), OK)
        self.assertEqual(client.get_mode(CAMERA, ZE_REG_ADDR_SIZE)["retVal"], RET_OK)
        self.assertEqual(client.close_cameras([CAMERA]), OK)
        self.assertEqual(client.get_mode(CAMERA, ZE_REG_ADDR_SIZE), REFUSED)
        with QrbClient.frame_server(SERVER_HOST) as frames:
            self.assertEqual(frames.grab(CAMERA, FRAME_BYTES), {"retVal": RET_NOT_SUPPORTED})
        reopened = client.open_cameras()
        self.assertEqual([camera["deviceName"] for camera in reopened["pCameras"]], [CAMERA])
        self.assertEqual(client.read_register(CAMERA, SHIP_ADDR, CHIP_VERSION_REG)["val"], 0x0C54)

    def test_set_sensor_replaces_the_record_the_frame_size_reports(self):
        client = self.client
        long_name = "é" * 200  # 400 bytes of UTF-8: cut at a whole character
        reply = client.set_sensor(
            CAMERA,
            sensorName=long_name,
            width=640,
            height=480,
            pixelBytes=2,
            pixelBits=10,
            bufferSize=SMALL_BYTES,
            vcWidth=[640],
            imageType=12,
        )
        self.assertEqual(reply, OK)
        self.assertEqual(
            client.update_buffer_size(CAMERA, SMALL_BYTES), {**OK, "bufferSize": SMALL_BYTES}
        )
        listed = client.open_cameras()["pCameras"][0]
        self.assertEqual(listed["sensorFileName"], "")
        # A bad value anywhere refuses the whole request and keeps the record.
        self.assertEqual(client.set_sensor(CAMERA, width=-5, height=1), REFUSED)
        self.assertEqual(client.set_sensor(CAMERA, sensorName=5), REFUSED)
        self.assertEqual(client.set_sensor(CAMERA, vcWidth=[1, "x"]), REFUSED)
        self.assertEqual(client.update_buffer_size(CAMERA, SMALL_BYTES)["bufferSize"], SMALL_BYTES)
        with QrbClient.frame_server(SERVER_HOST) as frames:
            # A record of another size bounds the grab: the buffer holds that many bytes.
            frames.grab(CAMERA, FRAME_BYTES)
            self.assertEqual(len(frames.bulk_transfer(CAMERA, SMALL_BYTES - 10, MIB)), 10)
            self.assertEqual(frames.bulk_transfer(CAMERA, SMALL_BYTES, MIB), b"")


if __name__ == "__main__":
    harness.run_tests(__doc__, configure)
