#!/usr/bin/env python3
"""qrb_server under load with the board camera open: 10,000 random camera, register and
frame requests over both servers (valid ones, arguments of the wrong type or range, counts
beyond the bounds, names of no camera, grabs and chunk fetches of several device names),
every reply checked; resident memory must stay flat after the warm-up and SIGTERM must end
the server with status 0 (a sanitized build checks leaks at that exit instead).

The random sequence is seeded; the seed is printed, and QRB_LOAD_SEED=<seed> repeats it."""
import collections
import os
import random
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import board_server as harness  # noqa: E402
from board_server import SERVER_HOST  # noqa: E402
from qrb_client import (  # noqa: E402
    MAX_REGISTERS,
    RET_NOT_SUPPORTED,
    RET_OK,
    RET_REFUSED,
    QrbClient,
)

REQUESTS = 10_000
WARM_UP_REQUESTS = 1_000
TIME_LIMIT = 240.0  # seconds for all requests in the normal build
RSS_SLACK_KIB = 1024
# A connection silent for a second is dropped by the server; reconnect well before that.
IDLE_RECONNECT = 0.5
CAMERA = "camera0"
# Device names of the camera whose buffers the run grabs into (all made in the warm-up).
FRAME_NAMES = [CAMERA, "xxxxxx0", "cam___0"]
NO_CAMERA_NAMES = ["camera1", "camera50", "camera-1", "cam", "", 7, None, "camera0 "]
SHIP_ADDR = 0x20
CHIP_VERSION_REG, CHIP_VERSION = 0x3000, 0x0C54
# Registers of the sensor that nothing else uses: the run writes and reads them back.
SCRATCH_REGS = [0x3120, 0x3122, 0x3124, 0x3126]
WIDTH, HEIGHT, DEPTH = 1920, 1200, 12
FRAME_BYTES = WIDTH * HEIGHT * 2
ZE_SENSOR_RESET = 19
BAD_VALUES = [-1, 2**32, 2**64, 0.5, -0.0001, "1", "", True, False, [1], {"a": 1}, 1e300]
GRAB_KEYS = {
    "retVal", "frameNumber", "bytesRequested", "bytesReturned", "frameTime", "frameLines",
    "lineSize", "gpio", "frameStatus", "registerContext", "eolPadBytes", "imageBytesReturned",
    "vcOffset", "vcBytes",
}

KINDS = {
    "read_chip_version": 10,
    "write_and_read_back": 10,
    "read_many": 8,
    "read_sensor_many": 6,
    "write_many": 6,
    "get_mode": 6,
    "sizes": 4,
    "bad_argument": 14,
    "beyond_bound": 4,
    "no_camera": 6,
    "unknown": 3,
    "grab": 8,
    "fetch_chunk": 10,
    "fetch_bad": 4,
    "frame_no_camera": 3,
    "fetch_whole": 1,
}

ARGS = None


def configure(args):
    global ARGS
    ARGS = args
    harness.skip_without_plugin(args)


class Connection:
    """A client that reconnects before the server's idle limit can drop it."""

    def __init__(self, port):
        self.port = port
        self.client = None
        self.last_use = 0.0
        self.connections = 0

    def get(self):
        if self.client is not None and time.monotonic() - self.last_use > IDLE_RECONNECT:
            self.client.close()
            self.client = None
        if self.client is None:
            self.client = QrbClient(SERVER_HOST, self.port).connect()
            self.connections += 1
        return self.client

    def used(self):
        self.last_use = time.monotonic()

    def close(self):
        if self.client is not None:
            self.client.close()
            self.client = None


class CameraLoad:
    def __init__(self, rng):
        self.rng = rng
        self.commands = Connection(harness.COMMAND_PORT)
        self.frames = Connection(harness.FRAME_PORT)
        self.index = 0
        self.counts = collections.Counter()
        self.scratch = {}
        # Bytes each frame name's buffer holds after its last grab.
        self.grabbed = {}

    def call(self, request):
        reply = self.commands.get().call(request)
        self.commands.used()
        return reply

    def frame_call(self, action):
        result = action(self.frames.get())
        self.frames.used()
        return result

    def check(self, condition, what, reply):
        if not condition:
            raise AssertionError(f"request {self.index}: {what}: {reply}")

    def expect(self, reply, expected, what):
        self.check(reply == expected, f"{what}: expected {expected}", reply)

    def bus(self, api, **keys):
        return {"api": api, "deviceName": CAMERA, "shipAddr": SHIP_ADDR, "addrSize": 16,
                "dataSize": 16, **keys}

    # ---- command server ----

    def read_chip_version(self):
        reply = self.call(self.bus("ze_readRegister", regAddr=CHIP_VERSION_REG))
        self.expect(reply, {"retVal": RET_OK, "val": CHIP_VERSION}, "chip version")

    def write_and_read_back(self):
        reg = self.rng.choice(SCRATCH_REGS)
        value = self.rng.randrange(0x10000)
        self.expect(self.call(self.bus("ze_writeRegister", regAddr=reg, val=value)),
                    {"retVal": RET_OK}, "write")
        self.scratch[reg] = value
        self.expect(self.call(self.bus("ze_readRegister", regAddr=reg)),
                    {"retVal": RET_OK, "val": value}, "read back")

    def read_many(self):
        count = self.rng.choice([0, 1, 2, self.rng.randrange(256)])
        reply = self.call(self.bus("ze_readRegisters", startAddr=0x3000, numRegs=count))
        self.check(reply.get("retVal") == RET_OK and len(reply.get("vals", ())) == count,
                   f"{count} registers", reply)
        if count:
            self.check(reply["vals"][0] == CHIP_VERSION, "chip version first", reply)

    def read_sensor_many(self):
        count = self.rng.randrange(1, 64)
        reply = self.call({"api": "ze_readSensorRegisters", "deviceName": CAMERA,
                           "shipAddr": SHIP_ADDR, "addrSpace": 0, "startAddr": 0x3000,
                           "numRegs": count})
        self.check(reply.get("retVal") == RET_OK and len(reply["vals"]) == count
                   and reply["vals"][0] == CHIP_VERSION, f"{count} sensor registers", reply)

    def write_many(self):
        values = [self.rng.randrange(0x10000) for _ in SCRATCH_REGS]
        self.expect(self.call(self.bus("ze_writeRegisters", startAddr=SCRATCH_REGS[0],
                                       vals=values)), {"retVal": RET_OK}, "write many")
        reply = self.call(self.bus("ze_readRegisters", startAddr=SCRATCH_REGS[0],
                                   numRegs=len(values)))
        self.expect(reply, {"retVal": RET_OK, "vals": values}, "read many back")

    def get_mode(self):
        reply = self.call({"api": "ze_getMode", "deviceName": CAMERA,
                           "mode": self.rng.randrange(-5, 200)})
        self.check(set(reply) == {"retVal", "val"} and isinstance(reply["val"], int),
                   "mode", reply)

    def sizes(self):
        reply = self.call({"api": "ze_updateFrameSize", "deviceName": CAMERA, "width": WIDTH,
                           "height": HEIGHT, "bitsPerClock": DEPTH, "clocksPerPixel": 1})
        self.check(reply.get("retVal") == RET_OK and reply.get("bufferSize") == FRAME_BYTES,
                   "frame size", reply)
        reply = self.call({"api": "ze_updateBufferSize", "deviceName": CAMERA,
                           "rawBufferSize": FRAME_BYTES})
        self.expect(reply, {"retVal": RET_OK, "bufferSize": FRAME_BYTES}, "buffer size")

    def bad_argument(self):
        bad = self.rng.choice(BAD_VALUES)
        requests = [
            self.bus("ze_readRegister", regAddr=bad),
            self.bus("ze_writeRegister", regAddr=SCRATCH_REGS[0], val=bad),
            self.bus("ze_readRegisters", startAddr=0x3000, numRegs=bad),
            self.bus("ze_writeRegisters", startAddr=SCRATCH_REGS[0], vals=[1, bad]),
            self.bus("ze_readRegister", regAddr=0x3000, addrSize=bad),
            {"api": "ze_setMode", "deviceName": CAMERA, "mode": 1, "val": bad},
            {"api": "ze_updateBufferSize", "deviceName": CAMERA, "rawBufferSize": bad},
            {"api": "ze_setSensor", "deviceName": CAMERA, "width": bad, "sensorName": 5},
            {"api": "ze_readSensorRegisters", "deviceName": CAMERA, "addrSpace": bad},
        ]
        request = self.rng.choice(requests)
        if request["api"] == "ze_setMode" and isinstance(bad, int) and -(2**31) <= bad < 2**31:
            request["val"] = 2**40  # -1 is a valid signed value
        self.expect(self.call(request), {"retVal": RET_REFUSED}, f"bad argument {request}")

    def beyond_bound(self):
        count = self.rng.randint(MAX_REGISTERS + 1, 2**32 - 1)
        self.expect(self.call(self.bus("ze_readRegisters", startAddr=0, numRegs=count)),
                    {"retVal": RET_REFUSED}, "count beyond the bound")

    def no_camera(self):
        name = self.rng.choice(NO_CAMERA_NAMES)
        request = self.rng.choice([self.bus("ze_readRegister", regAddr=0x3000),
                                   {"api": "ze_getMode", "mode": 1},
                                   {"api": "ze_startTransport"},
                                   {"api": "ze_setSensor"}])
        request["deviceName"] = name
        self.expect(self.call(request), {"retVal": RET_REFUSED}, f"no camera {name!r}")

    def unknown(self):
        self.expect(self.call({"api": "ze_readregister", "deviceName": CAMERA}),
                    {"retVal": RET_NOT_SUPPORTED}, "unknown command")

    # ---- frame server ----

    def grab(self, name=None, size=None):
        name = name or self.rng.choice(FRAME_NAMES)
        size = size if size is not None else self.rng.choice(
            [FRAME_BYTES, FRAME_BYTES, self.rng.randrange(FRAME_BYTES), FRAME_BYTES * 2])
        reply = self.frame_call(lambda client: client.grab(name, size))
        self.check(set(reply) == GRAB_KEYS and reply["retVal"] == RET_OK, "grab", reply)
        self.grabbed[name] = min(size, FRAME_BYTES)

    def fetch_chunk(self):
        name = self.rng.choice(list(self.grabbed))
        held = self.grabbed[name]
        offset = self.rng.choice([0, self.rng.randrange(held + 1), held, 2**32 - 1])
        size = self.rng.choice([0, 1, 4096, 65537, 1 << 20])
        limit = self.rng.choice([2**32 - 1, self.rng.randrange(held + 1)])
        chunk = self.frame_call(lambda client: client.bulk_transfer(name, offset, size, limit))
        expected = max(0, min(size or 0x20000, min(held, limit) - offset))
        self.check(len(chunk) == expected, f"chunk of {expected} bytes", len(chunk))

    def fetch_bad(self):
        bad = self.rng.choice(BAD_VALUES)
        key = self.rng.choice(["offset", "transferSize", "bufferSize"])
        request = {"api": "bulkTransfer", "deviceName": CAMERA, "offset": 0,
                   "transferSize": 16, "bufferSize": 16, key: bad}

        def send(client):
            client.send_message(request)
            return client.recv_buffer()

        self.expect(self.frame_call(send), b"", f"fetch with bad {key}")

    def frame_no_camera(self):
        name = self.rng.choice(NO_CAMERA_NAMES)
        reply = self.frame_call(lambda client: client.grab(name, 100))
        self.expect(reply, {"retVal": RET_NOT_SUPPORTED}, f"grab of {name!r}")

    def fetch_whole(self):
        self.grab(size=FRAME_BYTES)
        name = self.rng.choice(list(self.grabbed))
        size = self.grabbed[name]
        image = self.frame_call(lambda client: client.fetch_frame(name, size, 1 << 20))
        self.check(len(image) == size, "whole image", len(image))

    def run(self, kind):
        getattr(self, kind)()
        self.counts[kind] += 1


class CameraLoadTest(unittest.TestCase):
    def test_ten_thousand_camera_register_and_frame_requests(self):
        seed = int(os.environ.get("QRB_LOAD_SEED", time.time_ns() % 2**32))
        print(f"\nseed {seed} (QRB_LOAD_SEED={seed} repeats this run)", flush=True)
        rng = random.Random(seed)
        home = harness.CameraHome(ARGS.source_dir, ARGS.plugin)
        self.addCleanup(home.cleanup)
        server = harness.BoardServer(ARGS.server, ARGS.boardsim, env=home.env())
        self.addCleanup(server.cleanup)
        server.start()
        server.wait_ready()
        sanitized = ARGS.sanitized or server.uses_asan()

        load = CameraLoad(rng)
        self.addCleanup(load.commands.close)
        self.addCleanup(load.frames.close)
        opened = load.call({"api": "ze_OpenCameras2"})
        self.assertEqual(len(opened.get("pCameras", ())), 1, server.describe())
        for mode_value in (1, 0):
            self.assertEqual(load.call({"api": "ze_setMode", "deviceName": CAMERA,
                                        "mode": ZE_SENSOR_RESET, "val": mode_value}),
                             {"retVal": RET_OK})
        self.assertEqual(load.call({"api": "ze_startTransport", "deviceName": CAMERA}),
                         {"retVal": RET_OK})
        # Every buffer the run uses reaches its full size before memory is measured.
        for name in FRAME_NAMES:
            load.grab(name, FRAME_BYTES)

        kinds, weights = list(KINDS), list(KINDS.values())
        time_limit = TIME_LIMIT * (3 if sanitized else 1)
        started = time.monotonic()
        rss_after_warm_up = None
        for load.index in range(REQUESTS):
            if load.index == WARM_UP_REQUESTS:
                rss_after_warm_up = server.rss_kib()
            kind = rng.choices(kinds, weights)[0]
            try:
                load.run(kind)
            except harness.qrb_client.QrbClientError as error:
                self.fail(f"request {load.index} ({kind}): {error}\n{server.describe()}")
            self.assertLess(time.monotonic() - started, time_limit, "the run took too long")
        load.read_chip_version()
        rss_at_end = server.rss_kib()
        elapsed = time.monotonic() - started
        print(f"{REQUESTS} requests in {elapsed:.1f} s over "
              f"{load.commands.connections} + {load.frames.connections} connections: "
              + ", ".join(f"{kind} {load.counts[kind]}" for kind in kinds), flush=True)
        print(f"VmRSS after {WARM_UP_REQUESTS} requests {rss_after_warm_up} KiB, at the end "
              f"{rss_at_end} KiB ({rss_at_end - rss_after_warm_up:+d} KiB)", flush=True)
        load.commands.close()
        load.frames.close()
        if sanitized:
            print("sanitized server: leaks are checked at exit instead of resident memory")
        else:
            growth = rss_at_end - rss_after_warm_up
            self.assertLessEqual(growth, RSS_SLACK_KIB,
                                 f"resident memory grew by {growth} KiB after the warm-up")
        self.assertEqual(server.terminate(), 0, server.describe())
        # A client's close may be reported while the server stops.
        lines = [line for line in server.stdout_lines() if "socket error" not in line]
        self.assertEqual(lines[-3:], harness.STOP_LINES)
        self.assertNotIn("Sanitizer", server.stderr_text())
        self.assertNotIn("runtime error", server.stderr_text())


if __name__ == "__main__":
    harness.run_tests(__doc__, configure)
