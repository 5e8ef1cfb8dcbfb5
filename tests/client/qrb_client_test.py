#!/usr/bin/env python3
"""The qrb_server client library and its command line against a scripted stand-in server on
127.0.0.1: bytes on the wire, frames arriving in pieces, and every error it raises."""
import json
import os
import socket
import struct
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import qrb_client  # noqa: E402
from qrb_client import ConnectionClosed, ProtocolError, QrbClient, Timeout  # noqa: E402

LOOPBACK = "127.0.0.1"


def frame(payload):
    return struct.pack(">I", len(payload)) + payload


def recv_exactly(conn, count):
    data = b""
    while len(data) < count:
        chunk = conn.recv(count - len(data))
        if not chunk:
            break
        data += chunk
    return data


class StandInServer:
    """Accepts one connection on an ephemeral loopback port and runs `script(conn)` on it in
    a thread; what the script returns or raises is kept for the test."""

    def __init__(self, script):
        self.listener = socket.create_server((LOOPBACK, 0))
        self.port = self.listener.getsockname()[1]
        self.script = script
        self.result = None
        self.error = None
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        self.listener.settimeout(10)
        try:
            conn, _ = self.listener.accept()
            with conn:
                conn.settimeout(10)
                self.result = self.script(conn)
        except Exception as error:  # handed to the test through finish()
            self.error = error
        finally:
            self.listener.close()

    def finish(self):
        self.thread.join(10)
        if self.thread.is_alive():
            raise AssertionError("stand-in server still running")
        if self.error is not None:
            raise self.error
        return self.result


class ClientTest(unittest.TestCase):
    def serve(self, script):
        server = StandInServer(script)
        client = QrbClient(LOOPBACK, server.port, timeout=2)
        client.connect()
        self.addCleanup(client.close)
        return server, client

    def test_request_goes_out_as_compact_utf8_json_behind_big_endian_length(self):
        text = '{"api":"ping","name":"größe","n":[1,null]}'.encode("utf-8")
        server, client = self.serve(lambda conn: recv_exactly(conn, 4 + len(text) + 1))
        client.send_message({"api": "ping", "name": "größe", "n": [1, None]})
        client.close()
        # The length counts bytes, not characters, most significant byte first.
        self.assertEqual(server.finish(), b"\x00\x00\x00" + bytes([len(text)]) + text)

    def test_reply_arriving_a_byte_at_a_time_is_assembled(self):
        def script(conn):
            request = recv_exactly(conn, 18)
            for byte in frame(b'{"retVal":0}'):
                conn.sendall(bytes([byte]))
                time.sleep(0.005)
            return request

        server, client = self.serve(script)
        self.assertEqual(client.call({"api": "ping"}), {"retVal": 0})
        self.assertEqual(server.finish(), frame(b'{"api":"ping"}'))

    def test_buffers_and_messages_share_the_stream_in_order(self):
        def script(conn):
            conn.sendall(frame(b"\x00\x01raw") + frame(b"") + frame(b'{"retVal":16}'))

        server, client = self.serve(script)
        self.assertEqual(client.recv_buffer(), b"\x00\x01raw")
        self.assertEqual(client.recv_buffer(), b"")
        self.assertEqual(client.recv_message(), {"retVal": 16})
        server.finish()

    def test_timeout_mid_frame_keeps_the_bytes_for_the_next_read(self):
        release = threading.Event()

        def script(conn):
            reply = frame(b'{"retVal":0}')
            conn.sendall(reply[:6])
            release.wait(5)
            conn.sendall(reply[6:])

        server, client = self.serve(script)
        started = time.monotonic()
        with self.assertRaises(Timeout):
            client.recv_message(timeout=0.2)
        self.assertLess(time.monotonic() - started, 1.0)
        release.set()
        self.assertEqual(client.recv_message(), {"retVal": 0})
        server.finish()

    def test_close_reset_and_unexpected_data_are_told_apart(self):
        server, client = self.serve(lambda conn: conn.sendall(frame(b'{"retVal":0}')[:7]))
        with self.assertRaises(ConnectionClosed):
            client.recv_message()
        server.finish()

        server, client = self.serve(lambda conn: None)
        client.wait_closed()
        self.assertFalse(client.connected)
        server.finish()

        server, client = self.serve(lambda conn: conn.sendall(frame(b'{"retVal":0}')))
        with self.assertRaises(ProtocolError):
            client.wait_closed()
        server.finish()

        def resetting(conn):
            # Only once the client has surely finished connecting: a reset racing the
            # connect would fail the connect instead.
            recv_exactly(conn, 1)
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))

        server, client = self.serve(resetting)
        client.send_raw(b"!")
        server.finish()
        with self.assertRaises(ConnectionClosed):
            client.recv_message()

    def test_abort_resets_the_connection(self):
        def script(conn):
            try:
                return conn.recv(10)
            except ConnectionResetError:
                return "reset"

        server, client = self.serve(script)
        client.abort()
        self.assertEqual(server.finish(), "reset")
        with self.assertRaises(ConnectionClosed):
            client.send_message({"api": "ping"})

    def test_malformed_replies_raise_protocol_error(self):
        replies = {
            "not JSON": frame(b"{oops"),
            "array": frame(b"[1]"),
            "not UTF-8": frame(b"\xff"),
            "over the limit": struct.pack(">I", qrb_client.MAX_MESSAGE_LENGTH + 1),
        }
        for name, data in replies.items():
            with self.subTest(reply=name):
                server, client = self.serve(lambda conn, data=data: conn.sendall(data))
                with self.assertRaises(ProtocolError):
                    client.recv_message()
                server.finish()

    def test_ping_accepts_only_ret_val_zero(self):
        def script(conn):
            recv_exactly(conn, 18)
            conn.sendall(frame(b'{"retVal":16}'))

        server, client = self.serve(script)
        with self.assertRaises(ProtocolError):
            client.ping()
        server.finish()

    def test_recv_available_returns_nothing_when_nothing_was_sent(self):
        server, client = self.serve(lambda conn: recv_exactly(conn, 1))
        self.assertEqual(client.recv_available(0.1), b"")
        self.assertEqual(client.recv_available(0), b"")
        client.send_raw(b"!")
        self.assertEqual(server.finish(), b"!")

    def test_connect_when_ready_waits_for_the_listener_and_gives_up_in_time(self):
        probe = socket.create_server((LOOPBACK, 0))
        port = probe.getsockname()[1]
        probe.close()  # the port is now (almost surely) unused
        started = time.monotonic()
        with self.assertRaises(Timeout):
            qrb_client.connect_when_ready(LOOPBACK, port, 0.3)
        self.assertLess(time.monotonic() - started, 2.0)

        server = StandInServer(lambda conn: None)
        client = qrb_client.connect_when_ready(LOOPBACK, server.port, 5)
        self.assertTrue(client.connected)
        client.close()
        server.finish()


def read_request(conn):
    (length,) = struct.unpack(">I", recv_exactly(conn, 4))
    return json.loads(recv_exactly(conn, length))


class FrameServerStandIn:
    """A script that answers a grab with `info` and fetches from `image`, recording every
    request; `refuse` answers fetches of that name with {"retVal": 16} instead."""

    def __init__(self, image, info, requests_expected, refuse=None):
        self.image = image
        self.info = info
        self.requests_expected = requests_expected
        self.refuse = refuse

    def __call__(self, conn):
        requests = []
        for _ in range(self.requests_expected):
            request = read_request(conn)
            requests.append(request)
            if request["api"] == "ze_grabFrame":
                conn.sendall(frame(json.dumps(self.info).encode()))
            elif request["deviceName"] == self.refuse:
                conn.sendall(frame(b'{"retVal":16}'))
            else:
                end = min(len(self.image), request["bufferSize"])
                start = min(request["offset"], end)
                conn.sendall(frame(self.image[start : min(end, start + request["transferSize"])]))
        return requests


class CameraCommandsTest(ClientTest):
    def test_grab_frame_fetches_every_chunk_at_the_next_offset(self):
        image = bytes(range(256)) * 40  # 10,240 bytes
        info = {"retVal": 0, "bytesReturned": len(image), "frameNumber": 7}
        server, client = self.serve(FrameServerStandIn(image, info, 4))
        fetched, reply = client.grab_frame("camera0", 20000, chunk_size=4096)
        self.assertEqual((fetched, reply), (image, info))
        requests = server.finish()
        grab = {"api": "ze_grabFrame", "deviceName": "camera0", "bufferSize": 20000}
        self.assertEqual(requests[0], grab)
        self.assertEqual(
            [(r["offset"], r["transferSize"], r["bufferSize"]) for r in requests[1:]],
            [(0, 4096, 10240), (4096, 4096, 10240), (8192, 2048, 10240)],
        )

    def test_failed_grab_short_image_and_refused_fetch_raise(self):
        server, client = self.serve(FrameServerStandIn(b"", {"retVal": 1, "bytesReturned": 0}, 1))
        with self.assertRaises(qrb_client.CommandFailed) as failure:
            client.grab_frame("camera0", 100)
        self.assertEqual(failure.exception.reply["retVal"], 1)
        server.finish()

        info = {"retVal": 0, "bytesReturned": 100}
        server, client = self.serve(FrameServerStandIn(b"x" * 60, info, 3))
        with self.assertRaises(ProtocolError):
            client.grab_frame("camera0", 100)
        server.finish()

        server, client = self.serve(FrameServerStandIn(b"", {}, 1, refuse="camera9"))
        with self.assertRaises(qrb_client.CommandFailed) as failure:
            client.bulk_transfer("camera9", 0)
        self.assertEqual(failure.exception.reply, {"retVal": 16})
        server.finish()

    def test_register_requests_carry_every_key_the_server_reads(self):
        def script(conn):
            requests = []
            for _ in range(3):
                requests.append(read_request(conn))
                conn.sendall(frame(b'{"retVal":0}'))
            return requests

        server, client = self.serve(script)
        client.write_register("camera0", 0x20, 0x3012, 0x42, addr_size=8, data_size=16)
        client.write_registers("camera0", 0x20, 0x3012, iter([1, 2]))
        client.read_sensor_registers("camera0", 0x20, 1, 0x10, 4)
        self.assertEqual(
            server.finish(),
            [
                {"api": "ze_writeRegister", "deviceName": "camera0", "shipAddr": 0x20,
                 "addrSize": 8, "dataSize": 16, "regAddr": 0x3012, "val": 0x42},
                {"api": "ze_writeRegisters", "deviceName": "camera0", "shipAddr": 0x20,
                 "addrSize": 16, "dataSize": 16, "startAddr": 0x3012, "vals": [1, 2]},
                {"api": "ze_readSensorRegisters", "deviceName": "camera0", "shipAddr": 0x20,
                 "addrSpace": 1, "startAddr": 0x10, "numRegs": 4},
            ],
        )


class CommandLineTest(unittest.TestCase):
    def run_cli(self, *args):
        return subprocess.run(
            [sys.executable, qrb_client.__file__, *args],
            capture_output=True,
            text=True,
            timeout=30,
            check=False,
        )

    def answering(self, reply):
        """A stand-in that answers one request and then records what the client sends
        before it closes: the requests, in order."""

        def read_request(conn):
            (length,) = struct.unpack(">I", recv_exactly(conn, 4))
            return json.loads(recv_exactly(conn, length))

        def script(conn):
            requests = [read_request(conn)]
            conn.sendall(frame(reply))
            try:
                requests.append(read_request(conn))
            except (ConnectionError, struct.error):
                pass
            return requests

        return StandInServer(script)

    def test_ping_and_call_print_the_reply(self):
        server = self.answering(b'{"retVal":0}')
        result = self.run_cli("--host", LOOPBACK, "--port", str(server.port), "ping")
        self.assertEqual((result.returncode, result.stdout), (0, '{"retVal":0}\n'), result.stderr)
        # The session ends with "disconnect", so the server does not log a lost client.
        self.assertEqual(server.finish(), [{"api": "ping"}, {"api": "disconnect"}])

        server = self.answering(b'{"retVal":16}')
        request = '{"api":"Ping","n":[1,2]}'
        result = self.run_cli("--host", LOOPBACK, "--port", str(server.port), "call", request)
        self.assertEqual((result.returncode, result.stdout), (0, '{"retVal":16}\n'), result.stderr)
        self.assertEqual(server.finish(), [{"api": "Ping", "n": [1, 2]}, {"api": "disconnect"}])

    def test_errors_exit_non_zero_with_a_message(self):
        server = self.answering(b'{"retVal":16}')
        result = self.run_cli("--host", LOOPBACK, "--port", str(server.port), "ping")
        self.assertEqual(result.returncode, 1)
        self.assertIn("unexpected reply to ping", result.stderr)
        server.finish()

        result = self.run_cli("--host", LOOPBACK, "call", "[1]")
        self.assertEqual(result.returncode, 2)
        self.assertIn("request must be a JSON object", result.stderr)

        probe = socket.create_server((LOOPBACK, 0))
        port = probe.getsockname()[1]
        probe.close()
        result = self.run_cli("--host", LOOPBACK, "--port", str(port), "--timeout", "2", "ping")
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stderr.startswith(f"qrb_client: {LOOPBACK}:{port}: "), result.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
