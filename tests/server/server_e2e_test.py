#!/usr/bin/env python3
"""qrb_server end to end on the simulated board: start-up and shutdown, GPIO lines, the host
check, and the connection protocol of the command server (29824) and frame server (29825)."""
import os
import select
import shutil
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import board_server as harness  # noqa: E402
from board_server import COMMAND_PORT, FRAME_PORT, SERVER_HOST  # noqa: E402
from qrb_client import (  # noqa: E402
    ConnectionClosed,
    QrbClient,
    encode_length,
    encode_message,
)

PING_REPLY_BYTES = b"\x00\x00\x00\x0c" + b'{"retVal":0}'
PORT_NAMES = {COMMAND_PORT: "API", FRAME_PORT: "Frame"}
GPIO_ENABLE_LINE = 126  # Rev2 boards only
GPIO_STATUS_LINE = 147
# Requests that carry no command: each is ignored without a reply.
REQUESTS_WITHOUT_COMMAND = {
    "no api key": b'{"deviceName":"camera0","bufferSize":16}',
    "empty api": b'{"api":""}',
    "array": b'[{"api":"ping"}]',
    "string": b'"ping"',
    "number": b"42",
    "null": b"null",
    "truncated object": b'{"api":"ping"',
    "trailing garbage": b'{"api":"ping"}x',
    "not UTF-8": b"\xff\xfe\x00{",
    "empty payload": b"",
}
# Silence a server tolerates before it drops a client, and the bounds a test accepts for it.
IDLE_LIMIT = 1.0
IDLE_MIN = 0.8

ARGS = None
TIME_SCALE = 1.0  # larger for sanitized builds: upper time bounds only
# A client that never reads: where the test stops pushing.
UNREAD_SEND_BOUND = 256 * 1024 * 1024
# What the server holds of a client's input (one largest frame) and of its replies.
SERVER_INPUT_HOLD = 16 * 1024 * 1024
SERVER_REPLY_HOLD = 1024 * 1024


def largest_socket_buffer(kind):
    """The most the kernel lets a TCP socket buffer grow to ("rmem" or "wmem")."""
    with open("/proc/sys/net/ipv4/tcp_" + kind) as values:
        return int(values.read().split()[2])


def unread_send_limit(request, reply):
    """What a client that never reads may get sent before its sends block: its send buffer,
    the server's receive buffer and the frame the server holds, plus the requests whose
    replies fill the server's send buffer, the client's receive buffer and the replies the
    server lets wait. Socket buffers grow with the load, up to the kernel's limits."""
    rmem, wmem = largest_socket_buffer("rmem"), largest_socket_buffer("wmem")
    replies = wmem + rmem + SERVER_REPLY_HOLD
    return wmem + rmem + SERVER_INPUT_HOLD + replies * len(request) // len(reply)


def configure(args):
    global ARGS, TIME_SCALE
    ARGS = args
    TIME_SCALE = 3.0 if args.sanitized else 1.0


def new_server(board_conf=None, launcher=()):
    return harness.BoardServer(ARGS.server, ARGS.boardsim, board_conf, launcher)


def assert_served(port):
    """A new client gets its ping answered: the server is free and working."""
    with QrbClient(SERVER_HOST, port) as client:
        client.ping()
        client.disconnect()


def expected_line(server, offset, level, held, consumer):
    """A line driven as output by the server: held by its process, or released."""
    return harness.GpioLine(
        offset, level, "out", 0, server.pid if held else 0, consumer if held else "", consumer
    )


# How the server drives its lines on a Rev2 board while it serves.
REV2_LINES_SERVING = {GPIO_ENABLE_LINE: (1, "QRB_Server"), GPIO_STATUS_LINE: (0, "QRB Server")}
GPIO_FAILURE_PREFIX = "qrb_server: GPIO set-up failed: "


class StartupAndShutdownTest(unittest.TestCase):
    """One server per board kind: messages, GPIO lines, exit status."""

    def assert_lines(self, server, lines, held):
        """`lines` maps offsets to (level, consumer) of lines the server drives as outputs."""
        gpio = server.gpio_lines()
        for offset, (level, consumer) in lines.items():
            self.assertEqual(
                gpio.get(offset), expected_line(server, offset, level, held, consumer)
            )

    def start(self, board_conf=None, launcher=()):
        server = new_server(board_conf, launcher)
        self.addCleanup(server.cleanup)
        server.start()
        return server

    def test_rev2_board_holds_both_lines_while_running_and_releases_them_on_sigterm(self):
        server = self.start()
        server.wait_ready()
        self.assertEqual(
            server.stdout_lines(),
            [harness.REV2_LINE, *harness.STARTUP_LINES_AFTER_BOARD_CHECK],
            server.describe(),
        )
        # The board set-up takes 2 s before the host check.
        connected_at = server.stdout.arrival_time("The remote host is connected.")
        self.assertGreaterEqual(connected_at - server.started_at, 1.9)
        self.assertLessEqual({COMMAND_PORT, FRAME_PORT}, server.listening_ports())
        self.assert_lines(server, REV2_LINES_SERVING, held=True)
        for port in (COMMAND_PORT, FRAME_PORT):
            assert_served(port)

        self.assertEqual(server.terminate(), 0, server.describe())
        self.assertEqual(
            server.stdout_lines(),
            [harness.REV2_LINE, *harness.STARTUP_LINES_AFTER_BOARD_CHECK, *harness.STOP_LINES],
        )
        self.assertEqual(server.stderr_text(), "")
        self.assert_lines(server, REV2_LINES_SERVING, held=False)

    def test_board_without_rev2_eeprom_never_requests_line_126(self):
        server = self.start(harness.NOT_REV2_BOARD_CONF)
        server.wait_ready()
        self.assertEqual(
            server.stdout_lines(),
            [harness.NOT_REV2_LINE, *harness.STARTUP_LINES_AFTER_BOARD_CHECK],
            server.describe(),
        )
        gpio = server.gpio_lines()
        self.assertEqual(
            gpio.get(GPIO_STATUS_LINE),
            expected_line(server, GPIO_STATUS_LINE, 0, True, "QRB Server"),
        )
        for port in (COMMAND_PORT, FRAME_PORT):
            assert_served(port)

        # A client that stays connected delays the stop only until it falls silent.
        client = QrbClient(SERVER_HOST, COMMAND_PORT).connect()
        self.addCleanup(client.close)
        client.ping()
        signalled = time.monotonic()
        self.assertEqual(server.terminate(), 0, server.describe())
        self.assertLessEqual(time.monotonic() - signalled, 1.0 + IDLE_LIMIT + 2.0 * TIME_SCALE)
        self.assertEqual(server.stdout_lines()[-3:], harness.STOP_LINES)
        gpio = server.gpio_lines()
        self.assertTrue(
            GPIO_ENABLE_LINE not in gpio or gpio[GPIO_ENABLE_LINE].last_consumer == "",
            f"line 126 was requested: {gpio.get(GPIO_ENABLE_LINE)}",
        )
        self.assertEqual(
            gpio.get(GPIO_STATUS_LINE),
            expected_line(server, GPIO_STATUS_LINE, 0, False, "QRB Server"),
        )

    def test_board_without_the_revision_bus_runs_as_not_rev2(self):
        # The message has no line break of its own: the next line continues it.
        server = self.start("i2c_buses = 7\neeprom_bus = 7\n")
        server.wait_ready()
        first, *rest = harness.STARTUP_LINES_AFTER_BOARD_CHECK
        self.assertEqual(
            server.stdout_lines(), ["Failed to open the I2C bus" + first, *rest], server.describe()
        )
        self.assertNotIn(GPIO_ENABLE_LINE, server.gpio_lines())
        assert_served(COMMAND_PORT)
        self.assertEqual(server.terminate(), 0, server.describe())

    def test_without_route_to_host_exits_1_after_two_seconds_and_opens_no_port(self):
        # A nested namespace of the server's own has no route to the board's link.
        server = self.start(launcher=["unshare", "--net", "--"])
        self.assertTrue(server.wait_for_line(harness.REV2_LINE, harness.STARTUP_TIMEOUT))
        self.assertNotEqual(harness.netns_inode(server.pid), harness.netns_inode())
        ports_seen = set()
        deadline = time.monotonic() + harness.STOP_TIMEOUT
        while server.process.poll() is None and time.monotonic() < deadline:
            ports_seen |= server.listening_ports() or set()
            time.sleep(0.02)
        status = server.wait_exit()
        elapsed = time.monotonic() - server.started_at

        self.assertEqual(status, 1, server.describe())
        self.assertEqual(ports_seen, set())
        self.assertGreaterEqual(elapsed, 1.9)
        self.assertLessEqual(elapsed, 2.0 + 3.0 * TIME_SCALE)
        self.assertEqual(server.stdout_lines(), [harness.REV2_LINE])
        self.assertIn("connect error: Network is unreachable", server.stderr.lines())
        self.assertEqual(
            server.gpio_lines().get(GPIO_STATUS_LINE),
            expected_line(server, GPIO_STATUS_LINE, 1, False, "QRB Server"),
        )

    def test_status_line_held_by_another_program_stops_the_start_with_a_message(self):
        if shutil.which("gpioset") is None:
            self.skipTest("gpioset is not installed (Debian package gpiod)")
        server = new_server()
        self.addCleanup(server.cleanup)
        command, env = server.board_command(
            "gpioset", "--mode=signal", "gpiochip1", f"{GPIO_STATUS_LINE}=1"
        )
        holder = subprocess.Popen(command, env=env, stderr=subprocess.DEVNULL)
        self.addCleanup(holder.wait, 10)
        self.addCleanup(holder.terminate)

        def held():
            line = server.gpio_lines().get(GPIO_STATUS_LINE)
            return line is not None and line.holder_pid == holder.pid

        self.assertTrue(harness.wait_until(held, 10), "gpioset did not take the line")

        server.start()
        status = server.wait_exit()
        self.assertEqual(status, 1, server.describe())
        # The message names the line; nothing is served; the other program keeps its line
        # and the line the server did get is given back.
        self.assertEqual(
            server.stderr_text().strip(),
            f"{GPIO_FAILURE_PREFIX}line {GPIO_STATUS_LINE} of gpiochip1: "
            "error requesting GPIO lines: Device or resource busy",
        )
        self.assertNotIn(harness.LISTENING_LINE, server.stdout_lines())
        gpio = server.gpio_lines()
        self.assertEqual(
            gpio.get(GPIO_STATUS_LINE),
            harness.GpioLine(GPIO_STATUS_LINE, 1, "out", 0, holder.pid, "gpioset", "gpioset"),
        )
        self.assertEqual(
            gpio.get(GPIO_ENABLE_LINE),
            expected_line(server, GPIO_ENABLE_LINE, 1, False, "QRB_Server"),
        )


    def test_board_without_the_gpio_chip_stops_the_start_with_a_message(self):
        server = self.start("gpio_chip = gpiochip0\n")
        self.assertEqual(server.wait_exit(), 1, server.describe())
        self.assertEqual(server.stdout_lines(), [harness.REV2_LINE])
        stderr = server.stderr_text()
        self.assertTrue(stderr.startswith(GPIO_FAILURE_PREFIX), stderr)
        self.assertIn("gpiochip1", stderr)


class ProtocolTest(unittest.TestCase):
    """Connection protocol cases, all against one server that must still stop cleanly."""

    server = None

    @classmethod
    def setUpClass(cls):
        cls.server = new_server()
        try:
            cls.server.start()
            cls.server.wait_ready()
        except BaseException:
            cls.server.cleanup()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            status = cls.server.terminate()
            if status != 0 or cls.server.stdout_lines()[-3:] != harness.STOP_LINES:
                raise AssertionError(f"shared server did not stop cleanly: {cls.server.describe()}")
        finally:
            cls.server.cleanup()

    def setUp(self):
        if self.server.process.poll() is not None:
            self.fail(f"the shared server is gone: {self.server.describe()}")

    def connect(self, port=COMMAND_PORT):
        """A connected client; at the end of the test it disconnects (silently) if it can."""
        client = QrbClient(SERVER_HOST, port)
        client.connect()
        self.addCleanup(self.release, client)
        return client

    @staticmethod
    def release(client):
        if client.connected:
            try:
                client.disconnect(timeout=2)
            except (OSError, harness.qrb_client.QrbClientError):
                pass
        client.close()

    def new_output_after(self, snapshot):
        return self.server.stdout_lines()[len(snapshot) :]

    def wait_for_new_line(self, snapshot, prefix):
        """The first line starting with `prefix` printed after `snapshot`, or None."""

        def find(lines):
            return next((line for line in lines[len(snapshot) :] if line.startswith(prefix)), None)

        return self.server.stdout.wait_for(find, 5 * TIME_SCALE)

    def both_ports(self):
        for port in (COMMAND_PORT, FRAME_PORT):
            with self.subTest(port=port):
                yield port

    def test_ping_reply_is_exactly_the_compact_frame_on_both_ports(self):
        for port in self.both_ports():
            client = self.connect(port)
            client.send_message({"api": "ping"})
            self.assertEqual(client.recv_bytes(len(PING_REPLY_BYTES)), PING_REPLY_BYTES)
            self.assertEqual(client.recv_available(0.2), b"")
            # Extra keys do not change the command.
            self.assertEqual(client.call({"api": "ping", "extra": [1, "two", None]}), {"retVal": 0})

    def test_unknown_or_miscased_commands_get_16_and_the_connection_goes_on(self):
        client = self.connect()
        names = ("Ping", "PING", "ping ", " ping", "pïng", "no_such_command", "ze_opencameras2")
        for api in names:
            with self.subTest(api=api):
                self.assertEqual(client.call({"api": api, "value": 7}), {"retVal": 16})
        big = {"api": "no_such_command", "blob": "x" * 1_000_000}
        self.assertEqual(client.call(big), {"retVal": 16})
        many_keys = {"api": "no_such_command", **{f"k{i}": i for i in range(50_000)}}
        self.assertEqual(client.call(many_keys), {"retVal": 16})
        # Nesting that any JSON reader accepts, as the value of an unknown command.
        deep = b'{"api":"no_such_command","v":' + b'{"v":' * 500 + b"1" + b"}" * 501
        client.send_raw(encode_length(len(deep)) + deep)
        self.assertEqual(client.recv_message(), {"retVal": 16})
        client.ping()

    def test_hostile_documents_neither_crash_nor_end_the_connection(self):
        # Each is followed by a ping. A document with a repeated key may be answered as the
        # unknown command it names or be dropped; nothing else may come back.
        documents = {
            "nesting far too deep": b"[" * 200_000 + b"]" * 200_000,
            "unclosed nesting": b'{"a":' * 100_000,
            "repeated key": b'{"api":"no_such_command","k":1,"k":2}',
            "repeated api": b'{"api":"no_such_command","api":"no_such_command"}',
            "repeated escaped key": b'{"api":"no_such_command","\u006b":1,"k":2}',
            "repeated nested key": b'{"api":"no_such_command","o":{"k":[1],"k":{"k":2}}}',
        }
        client = self.connect()
        for name, document in documents.items():
            with self.subTest(document=name):
                client.send_raw(encode_length(len(document)) + document)
                client.send_message({"api": "ping"})
                reply = client.recv_message()
                if reply == {"retVal": 16}:
                    reply = client.recv_message()
                self.assertEqual(reply, {"retVal": 0})
                self.assertEqual(client.recv_available(0.05), b"")

    def test_frame_server_answers_16_to_unknown_commands_and_grabs_without_camera(self):
        client = self.connect(FRAME_PORT)
        requests = [
            {"api": "Ping"},
            {"api": "no_such_command"},
            {"api": "ze_grabFrame", "deviceName": "camera0", "bufferSize": 4096},
            {"api": "bulkTransfer", "deviceName": "camera0", "offset": 0, "transferSize": 0},
        ]
        for request in requests:
            with self.subTest(api=request["api"]):
                self.assertEqual(client.call(request), {"retVal": 16})
        client.ping()

    def test_disconnect_closes_without_reply_and_a_new_connection_works(self):
        for port in self.both_ports():
            client = self.connect(port)
            client.ping()
            client.send_message({"api": "disconnect"})
            # wait_closed fails if any byte arrives before the close.
            client.wait_closed(timeout=2 * TIME_SCALE)
            assert_served(port)

    def test_requests_without_command_get_no_reply_and_keep_the_connection(self):
        for port in self.both_ports():
            for name, payload in REQUESTS_WITHOUT_COMMAND.items():
                with self.subTest(request=name):
                    client = self.connect(port)
                    client.send_raw(encode_length(len(payload)) + payload)
                    client.send_message({"api": "ping"})
                    # The first bytes back must be the ping's reply, and nothing may follow.
                    self.assertEqual(client.recv_bytes(len(PING_REPLY_BYTES)), PING_REPLY_BYTES)
                    self.assertEqual(client.recv_available(0.05), b"")
                    client.disconnect()

    def test_silent_client_is_dropped_after_a_second_without_output(self):
        snapshot = self.server.stdout_lines()
        for port in self.both_ports():
            client = self.connect(port)
            started = time.monotonic()
            client.wait_closed(timeout=5 * TIME_SCALE)
            elapsed = time.monotonic() - started
            self.assertGreaterEqual(elapsed, IDLE_MIN)
            self.assertLessEqual(elapsed, IDLE_LIMIT + 1.0 * TIME_SCALE)
        # Silence after a reply counts the same way.
        client = self.connect()
        client.ping()
        replied = time.monotonic()
        client.wait_closed(timeout=5 * TIME_SCALE)
        self.assertGreaterEqual(time.monotonic() - replied, IDLE_MIN)
        # The next connection is taken only after the dropped ones are done with.
        assert_served(COMMAND_PORT)
        assert_served(FRAME_PORT)
        self.assertEqual(self.new_output_after(snapshot), [])

    def test_each_request_has_a_second_of_its_own(self):
        client = self.connect()
        for _ in range(3):
            client.ping()
            time.sleep(0.6)
        client.ping()

    def test_frame_split_into_delayed_pieces_is_answered(self):
        request = encode_message({"api": "ping", "pad": "p" * 300})
        for port in self.both_ports():
            client = self.connect(port)
            started = time.monotonic()
            for offset in range(4):  # the length prefix a byte at a time
                client.send_raw(request[offset : offset + 1])
                time.sleep(0.03)
            for offset in range(4, len(request), 100):
                client.send_raw(request[offset : offset + 100])
                time.sleep(0.03)
            self.assertLess(time.monotonic() - started, 0.8, "pieces took too long to send")
            self.assertEqual(client.recv_message(), {"retVal": 0})

    def test_requests_in_one_write_are_answered_in_order(self):
        for port in self.both_ports():
            client = self.connect(port)
            client.send_raw(
                encode_message({"api": "ping"})
                + encode_message({"api": "Ping"})
                + encode_length(0)
                + encode_message({"api": "ping"})
            )
            self.assertEqual(client.recv_message(), {"retVal": 0})
            self.assertEqual(client.recv_message(), {"retVal": 16})
            self.assertEqual(client.recv_message(), {"retVal": 0})

    def test_frame_whose_pieces_take_over_a_second_loses_the_connection(self):
        request = encode_message({"api": "ping", "pad": "q" * 400})
        for port in self.both_ports():
            client = self.connect(port)
            pieces = [request[:2], request[2:6], request[6:200], request[200:]]
            try:
                for piece in pieces:
                    client.send_raw(piece)
                    time.sleep(0.45)
            except ConnectionClosed:
                pass  # the server may already have gone
            # No reply may come, only the close.
            client.wait_closed(timeout=5 * TIME_SCALE)
            assert_served(port)

    def test_over_long_length_prefix_is_refused_logged_and_the_server_goes_on(self):
        for port in self.both_ports():
            for length in (0xFFFFFFFF, 16 * 1024 * 1024 + 1):
                with self.subTest(length=length):
                    snapshot = self.server.stdout_lines()
                    client = self.connect(port)
                    client.send_raw(encode_length(length) + b'{"api":"ping"}')
                    client.wait_closed(timeout=5 * TIME_SCALE)
                    expected = (
                        f"   {PORT_NAMES[port]} protocol error; message of {length} bytes "
                        "exceeds the limit of 16777216 bytes"
                    )
                    self.assertEqual(
                        self.wait_for_new_line(snapshot, "   "), expected, self.server.describe()
                    )
                    assert_served(port)

    def test_second_client_is_served_when_the_first_disconnects(self):
        first = self.connect()
        first.ping()
        second = self.connect()
        second.send_message({"api": "ping"})
        for _ in range(3):  # the first client stays active; the second waits
            time.sleep(0.3)
            first.ping()
            self.assertEqual(second.recv_available(0.01), b"")
        first.disconnect()
        self.assertEqual(second.recv_message(timeout=2 * TIME_SCALE), {"retVal": 0})

    def test_second_client_is_served_when_the_first_falls_silent(self):
        first = self.connect()
        first.ping()
        silent_from = time.monotonic()
        second = self.connect()
        second.send_message({"api": "ping"})
        self.assertEqual(second.recv_message(timeout=5 * TIME_SCALE), {"retVal": 0})
        self.assertGreaterEqual(time.monotonic() - silent_from, IDLE_MIN)

    def test_dropped_client_is_closed_at_once_while_the_next_one_is_served(self):
        # A client the server drops must see its connection close, not stay open (without
        # replies) until the next client's session ends.
        for port in self.both_ports():
            for cause in ("silence", "over-long prefix"):
                with self.subTest(cause=cause):
                    first = self.connect(port)
                    first.ping()
                    second = self.connect(port)
                    second.send_message({"api": "ping"})
                    if cause == "over-long prefix":
                        first.send_raw(encode_length(0xFFFFFFFF))
                    self.assertEqual(second.recv_message(timeout=5 * TIME_SCALE), {"retVal": 0})
                    # The second client's session goes on for up to a second from here.
                    first.wait_closed(timeout=0.5)
                    second.ping()

    def test_queued_clients_are_served_one_after_another(self):
        clients = [self.connect() for _ in range(8)]
        for client in clients:
            client.send_message({"api": "ping"})
        waiting = list(clients)
        deadline = time.monotonic() + 10 * TIME_SCALE
        while waiting and time.monotonic() < deadline:
            readable, _, _ = select.select([c.sock for c in waiting], [], [], 0.5)
            for client in [c for c in waiting if c.sock in readable]:
                self.assertEqual(client.recv_message(), {"retVal": 0})
                # While one client is served, no other has heard anything.
                for other in waiting:
                    if other is not client:
                        self.assertEqual(other.recv_available(0), b"")
                waiting.remove(client)
                client.disconnect()
                break
        self.assertEqual(waiting, [], "clients left unserved")

    def test_command_and_frame_servers_serve_their_clients_independently(self):
        command = self.connect(COMMAND_PORT)
        command.ping()
        frame = self.connect(FRAME_PORT)
        frame.ping()
        command.ping()
        frame.ping()

    def test_client_that_never_reads_its_replies_is_throttled_and_dropped(self):
        # Pings sent as fast as possible, no reply ever read: the server stops reading once
        # about a MiB of replies waits, so sending soon blocks (only socket buffers and one
        # frame's worth of input fill up), and the client is dropped once its time is up.
        request = encode_message({"api": "ping"})
        batch = request * 4096
        limit = unread_send_limit(request, encode_message({"retVal": 0}))
        self.assertLess(limit, UNREAD_SEND_BOUND)
        client = self.connect()
        client.sock.settimeout(2.0 * TIME_SCALE)
        sent = 0
        deadline = time.monotonic() + 30 * TIME_SCALE
        with self.assertRaises((socket.timeout, ConnectionError)):
            while sent < UNREAD_SEND_BOUND and time.monotonic() < deadline:
                client.sock.sendall(batch)
                sent += len(batch)
        self.assertLess(sent, limit + len(batch))
        # The replies that did go out may still be read; then the connection ends.
        deadline = time.monotonic() + 10 * TIME_SCALE
        with self.assertRaises(ConnectionClosed):
            while time.monotonic() < deadline:
                client.recv_available(1.0)
        assert_served(COMMAND_PORT)

    def test_connection_reset_by_client_is_logged_and_the_server_goes_on(self):
        for port in self.both_ports():
            snapshot = self.server.stdout_lines()
            client = self.connect(port)
            client.ping()
            client.send_raw(encode_length(100) + b'{"api":')
            client.abort()
            line = self.wait_for_new_line(snapshot, "   ")
            prefix = f"   {PORT_NAMES[port]} socket error; "
            self.assertIsNotNone(line, self.server.describe())
            self.assertTrue(line.startswith(prefix) and len(line) > len(prefix), line)
            assert_served(port)


if __name__ == "__main__":
    harness.run_tests(__doc__, configure)
