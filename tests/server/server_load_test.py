#!/usr/bin/env python3
"""qrb_server under load: 10,000 requests of random kinds and sizes on the command server
(pings, unknown commands up to 64 KiB, requests without a command, invalid JSON, split
frames, over-long prefixes, resets, closes in mid-frame, reconnects), then both servers must
still answer, memory must not have grown, and SIGTERM must end the server with status 0.

The random sequence is seeded; the seed is printed, and QRB_LOAD_SEED=<seed> repeats it."""
import collections
import json
import os
import random
import string
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import board_server as harness  # noqa: E402
from board_server import COMMAND_PORT, FRAME_PORT, SERVER_HOST  # noqa: E402
from qrb_client import (  # noqa: E402
    MAX_MESSAGE_LENGTH,
    ConnectionClosed,
    QrbClient,
    encode_length,
    encode_message,
)

REQUESTS = 10_000
WARM_UP_REQUESTS = 1_000
TIME_LIMIT = 120.0  # seconds for all requests in the normal build
# Resident memory may grow this much between the warm-up and the end: allocator caches and
# the largest request buffer. Five runs grew by 68 to 180 KiB (the run prints its figures).
RSS_SLACK_KIB = 1024
MAX_PAYLOAD = 64 * 1024
REPLY_TIMEOUT = 5.0
# Every api name made up here starts like this, so none can hit a real command.
UNKNOWN_PREFIX = "zz_unknown_"
TEXT_ALPHABET = string.ascii_letters + string.digits + " _-./\"\\\n\täöü€😀"

# Kinds of request and their weights.
KINDS = {
    "ping": 24,
    "unknown": 22,
    "no_api": 7,
    "empty_api": 3,
    "invalid_json": 7,
    "array": 4,
    "scalar": 3,
    "empty_frame": 5,
    "split": 10,
    "over_long": 2,
    "reset": 3,
    "close_mid_frame": 3,
    "disconnect": 3,
    "reconnect": 4,
}
# Lines the server may print while it is loaded, besides its start-up lines.
PROTOCOL_ERROR = "   API protocol error; message of {} bytes exceeds the limit of 16777216 bytes"
SOCKET_ERROR_PREFIX = "   API socket error; "

ARGS = None


def configure(args):
    global ARGS
    ARGS = args


class RandomRequests:
    """Makes the random payloads; every one is either sure to parse or sure not to."""

    def __init__(self, rng):
        self.rng = rng

    def text(self, length):
        return "".join(self.rng.choices(TEXT_ALPHABET, k=length))

    def value(self, depth=0):
        kind = self.rng.randrange(7 if depth < 2 else 5)
        if kind == 0:
            return self.rng.randint(-(2**63), 2**63 - 1)
        if kind == 1:
            return self.text(self.rng.randrange(40))
        if kind == 2:
            return self.rng.choice([True, False, None])
        if kind == 3:
            return self.rng.random() * 1e6
        if kind == 4:
            return self.rng.randint(-(2**31), 2**32 - 1)
        if kind == 5:
            return [self.value(depth + 1) for _ in range(self.rng.randrange(6))]
        return {self.text(8): self.value(depth + 1) for _ in range(self.rng.randrange(4))}

    def payload_size(self):
        # Mostly small requests, some up to the largest size.
        return int(MAX_PAYLOAD * self.rng.random() ** 3)

    def fields(self):
        message = {self.text(self.rng.randrange(1, 12)): self.value() for _ in range(6)}
        message.pop("api", None)
        message["pad"] = self.text(self.payload_size() // 2)
        return message

    def unknown(self):
        return {"api": UNKNOWN_PREFIX + self.text(self.rng.randrange(1, 20)), **self.fields()}

    def invalid_json(self):
        if self.rng.random() < 0.5:
            # A proper prefix of a compact JSON object never parses.
            text = encode_message(self.unknown())[4:]
            return text[: self.rng.randrange(1, len(text))]
        return b"x" + self.rng.randbytes(self.rng.randrange(200))

    def scalar(self):
        return json.dumps(self.rng.choice([1, -5, 3.5, "ping", None, True])).encode()

    def array(self):
        return json.dumps([{"api": "ping"}, self.value()], ensure_ascii=False).encode()


class LoadRun:
    """Sends the requests on one connection at a time, reconnecting where a kind ends it."""

    def __init__(self, rng):
        self.rng = rng
        self.make = RandomRequests(rng)
        self.client = None
        self.counts = collections.Counter()
        self.over_long_lengths = []
        self.connections = 0
        self.index = 0

    def connection(self):
        if self.client is None:
            self.client = QrbClient(SERVER_HOST, COMMAND_PORT, REPLY_TIMEOUT)
            self.client.connect()
            self.connections += 1
        return self.client

    def drop(self):
        self.client.close()
        self.client = None

    def expect(self, reply, ret_val, kind):
        if reply != {"retVal": ret_val}:
            raise AssertionError(
                f"request {self.index} ({kind}): reply {reply}, expected retVal {ret_val}"
            )

    def run(self, kind):
        getattr(self, kind)()
        self.counts[kind] += 1

    def ping(self):
        self.expect(self.connection().call({"api": "ping"}), 0, "ping")

    def unknown(self):
        self.expect(self.connection().call(self.make.unknown()), 16, "unknown")

    def send_ignored(self, payload):
        self.connection().send_raw(encode_length(len(payload)) + payload)

    def no_api(self):
        self.send_ignored(encode_message(self.make.fields())[4:])

    def empty_api(self):
        self.send_ignored(b'{"api":""}')

    def invalid_json(self):
        self.send_ignored(self.make.invalid_json())

    def array(self):
        self.send_ignored(self.make.array())

    def scalar(self):
        self.send_ignored(self.make.scalar())

    def empty_frame(self):
        self.send_ignored(b"")

    def split(self):
        is_ping = self.rng.random() < 0.5
        request = encode_message({"api": "ping"} if is_ping else self.make.unknown())
        cuts = sorted(self.rng.sample(range(1, len(request)), min(len(request) - 1, 20)))
        cuts = cuts[: self.rng.randrange(1, len(cuts) + 1)]
        client = self.connection()
        for start, end in zip([0, *cuts], [*cuts, len(request)]):
            client.send_raw(request[start:end])
            if self.rng.random() < 0.2:
                time.sleep(0.002)
        self.expect(client.recv_message(), 0 if is_ping else 16, "split")

    def over_long(self):
        length = self.rng.randint(MAX_MESSAGE_LENGTH + 1, 0xFFFFFFFF)
        self.over_long_lengths.append(length)
        client = self.connection()
        try:
            client.send_raw(encode_length(length) + self.rng.randbytes(self.rng.randrange(64)))
        except ConnectionClosed:
            pass
        client.wait_closed()
        self.drop()

    def reset(self):
        client = self.connection()
        if self.rng.random() < 0.5:
            client.send_raw(encode_message(self.make.unknown())[: self.rng.randrange(1, 40)])
        client.abort()
        self.client = None

    def close_mid_frame(self):
        client = self.connection()
        request = encode_message(self.make.unknown())
        client.send_raw(request[: self.rng.randrange(1, len(request))])
        self.drop()

    def disconnect(self):
        self.connection().disconnect()
        self.drop()

    def reconnect(self):
        if self.client is not None:
            self.drop()
        self.connection()


class LoadTest(unittest.TestCase):
    def test_ten_thousand_random_requests_leave_the_server_working_and_its_memory_flat(self):
        seed = int(os.environ.get("QRB_LOAD_SEED", time.time_ns() % 2**32))
        print(f"\nseed {seed} (QRB_LOAD_SEED={seed} repeats this run)", flush=True)
        rng = random.Random(seed)
        server = harness.BoardServer(ARGS.server, ARGS.boardsim)
        self.addCleanup(server.cleanup)
        server.start()
        server.wait_ready()
        startup_lines = len(server.stdout_lines())
        sanitized = ARGS.sanitized or server.uses_asan()
        time_limit = TIME_LIMIT * (3 if sanitized else 1)

        run = LoadRun(rng)
        kinds = list(KINDS)
        weights = list(KINDS.values())
        started = time.monotonic()
        rss_after_warm_up = None
        for run.index in range(REQUESTS):
            if run.index == WARM_UP_REQUESTS:
                run.ping()  # the server has caught up with everything sent so far
                rss_after_warm_up = server.rss_kib()
            kind = rng.choices(kinds, weights)[0]
            try:
                run.run(kind)
            except harness.qrb_client.QrbClientError as error:
                self.fail(f"request {run.index} ({kind}): {error}\n{server.describe()}")
            self.assertLess(time.monotonic() - started, time_limit, "the run took too long")
        run.ping()
        elapsed = time.monotonic() - started
        rss_at_end = server.rss_kib()
        run.disconnect()

        print(
            f"{REQUESTS} requests in {elapsed:.1f} s over {run.connections} connections: "
            + ", ".join(f"{kind} {run.counts[kind]}" for kind in kinds),
            flush=True,
        )
        print(
            f"VmRSS after {WARM_UP_REQUESTS} requests {rss_after_warm_up} KiB, "
            f"at the end {rss_at_end} KiB ({rss_at_end - rss_after_warm_up:+d} KiB)",
            flush=True,
        )
        for port in (COMMAND_PORT, FRAME_PORT):
            with QrbClient(SERVER_HOST, port) as client:
                client.ping()
                client.disconnect()
        if sanitized:
            print("sanitized server: leaks are checked at exit instead of resident memory")
        else:
            growth = rss_at_end - rss_after_warm_up
            self.assertLessEqual(
                growth, RSS_SLACK_KIB, f"resident memory grew by {growth} KiB after the warm-up"
            )

        self.assertEqual(server.terminate(), 0, server.describe())
        self.check_output(server.stdout_lines()[startup_lines:], run)

    def check_output(self, lines, run):
        """Only the expected error lines, one per over-long prefix, with its length."""
        self.assertEqual(lines[-3:], harness.STOP_LINES)
        protocol_errors = [line for line in lines if "protocol error" in line]
        self.assertEqual(protocol_errors, [PROTOCOL_ERROR.format(n) for n in run.over_long_lengths])
        others = [
            line
            for line in lines[:-3]
            if line not in protocol_errors and not line.startswith(SOCKET_ERROR_PREFIX)
        ]
        self.assertEqual(others, [])


if __name__ == "__main__":
    harness.run_tests(__doc__, configure)
