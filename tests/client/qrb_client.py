#!/usr/bin/env python3
"""Client of the board server qrb_server: length-prefixed JSON requests and raw buffer frames.

Every frame on the wire is a 4-byte big-endian length followed by that many bytes: a compact
JSON object for requests and replies, or raw bytes for the buffers the server streams back
(file chunks, image chunks). The command server listens on port 29824, the frame server on
29825; each serves one client at a time and drops a client that stays silent for a second.

Library use:

    with QrbClient("127.0.0.1") as client:
        client.ping()
        cameras = client.open_cameras()["pCameras"]
        client.write_register("camera0", 0x10, 0x3012, 0x42, addr_size=16, data_size=16)
    with QrbClient.frame_server("127.0.0.1") as frames:
        image, info = frames.grab_frame("camera0", buffer_size=1920 * 1200 * 2)

Command line:

    qrb_client.py --host H [--port P | --frame] ping
    qrb_client.py --host H call '{"api":"ping"}'
    qrb_client.py --host H upload LOCAL BOARD_PATH     (resumes a partial upload)
    qrb_client.py --host H download BOARD_PATH LOCAL   (resumes LOCAL~temp)
"""
import argparse
import json
import os
import socket
import struct
import sys
import time

COMMAND_PORT = 29824
FRAME_PORT = 29825
# Bytes of the big-endian length that precedes every frame.
PREFIX_SIZE = 4
# The server refuses requests announcing more than this; replies are held to the same bound.
MAX_MESSAGE_LENGTH = 16 * 1024 * 1024
# Raw buffers carry image chunks; a single chunk larger than this means a corrupt stream.
MAX_BUFFER_LENGTH = 256 * 1024 * 1024
DEFAULT_TIMEOUT = 5.0
RET_OK = 0
# What the server answers for a command it does not know (or, on the frame server, for a
# request whose camera does not resolve).
RET_NOT_SUPPORTED = 16
# What the command server answers when it refuses a request itself (missing camera, bad
# argument).
RET_REFUSED = 1
# Chunk length the frame server sends when a fetch asks for none.
DEFAULT_CHUNK = 0x20000
# Register values one request may carry.
MAX_REGISTERS = 65536
_RECV_CHUNK = 65536
# Largest upload chunk the server accepts ("transferSize").
MAX_TRANSFER_SIZE = 64 * 1024 * 1024
# Default chunk of file transfers.
FILE_CHUNK = 1024 * 1024
# A download in progress on this machine is written under the local path with this suffix
# (as the board does for uploads) and renamed when complete; it is what a resume continues.
PARTIAL_SUFFIX = "~temp"


class QrbClientError(Exception):
    """Base of every error this client raises."""


class ConnectionClosed(QrbClientError):
    """The server closed (or reset) the connection."""


class Timeout(QrbClientError):
    """Nothing, or not a whole frame, arrived in time."""


class ProtocolError(QrbClientError):
    """The bytes received do not form a valid reply."""


class CommandFailed(QrbClientError):
    """The server answered a request with a non-zero "retVal"; `reply` is its answer."""

    def __init__(self, api, reply):
        super().__init__(f"{api} failed with retVal {reply.get('retVal')}: {reply}")
        self.reply = reply


def encode_length(length):
    """The 4-byte big-endian prefix of a frame of `length` bytes."""
    return struct.pack(">I", length)


def encode_message(message):
    """A whole message frame: the compact JSON text of `message` behind its length."""
    text = json.dumps(message, separators=(",", ":"), ensure_ascii=False).encode("utf-8")
    return encode_length(len(text)) + text


def decode_message(payload):
    """The JSON object held by a reply payload; ProtocolError for anything else."""
    try:
        message = json.loads(payload.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as error:
        raise ProtocolError(f"reply is not valid JSON: {error}") from None
    if not isinstance(message, dict):
        raise ProtocolError(f"reply is not a JSON object: {payload[:80]!r}")
    return message


class QrbClient:
    """One TCP connection to a command or frame server.

    Received bytes are kept in a buffer of the client's own, so a Timeout in the middle of a
    frame loses nothing: the next recv_* call continues where the last one stopped.
    """

    def __init__(self, host, port=COMMAND_PORT, timeout=DEFAULT_TIMEOUT):
        self.host = host
        self.port = port
        self.timeout = timeout
        self.sock = None
        self._pending = bytearray()

    @classmethod
    def frame_server(cls, host, timeout=DEFAULT_TIMEOUT):
        """A client of the frame server on `host` (not yet connected)."""
        return cls(host, FRAME_PORT, timeout)

    def __enter__(self):
        if self.sock is None:
            self.connect()
        return self

    def __exit__(self, *exc_info):
        self.close()

    @property
    def connected(self):
        return self.sock is not None

    def connect(self, timeout=None):
        """Open the connection. Requests go out at once (no coalescing of small writes)."""
        if self.sock is not None:
            raise QrbClientError("already connected")
        try:
            sock = socket.create_connection((self.host, self.port), self._timeout(timeout))
        except socket.timeout:
            raise Timeout(f"connecting to {self.host}:{self.port} timed out") from None
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.sock = sock
        self._pending.clear()
        return self

    def close(self):
        """Close the connection (no-op when not connected)."""
        if self.sock is not None:
            self.sock.close()
            self.sock = None
        self._pending.clear()

    def abort(self):
        """Close with a reset instead of an orderly shutdown (SO_LINGER with time 0)."""
        if self.sock is not None:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close()

    def send_raw(self, data):
        """Send bytes exactly as given (no prefix added)."""
        sock = self._socket()
        sock.settimeout(self.timeout)
        try:
            sock.sendall(data)
        except socket.timeout:
            raise Timeout(f"sending to {self.host}:{self.port} timed out") from None
        except (BrokenPipeError, ConnectionResetError) as error:
            raise ConnectionClosed(f"send failed: {error}") from None

    def send_message(self, message):
        """Send one message frame holding `message` (a dict) as compact JSON."""
        self.send_raw(encode_message(message))

    def recv_bytes(self, count, timeout=None):
        """Exactly `count` bytes of the stream, whatever frames they belong to."""
        self._fill(count, time.monotonic() + self._timeout(timeout))
        data = bytes(self._pending[:count])
        del self._pending[:count]
        return data

    def recv_frame(self, timeout=None, max_length=MAX_MESSAGE_LENGTH):
        """The payload of the next frame. `timeout` bounds the whole frame, prefix included."""
        deadline = time.monotonic() + self._timeout(timeout)
        self._fill(PREFIX_SIZE, deadline)
        (length,) = struct.unpack(">I", self._pending[:PREFIX_SIZE])
        if length > max_length:
            raise ProtocolError(f"frame of {length} bytes exceeds the limit of {max_length}")
        self._fill(PREFIX_SIZE + length, deadline)
        payload = bytes(self._pending[PREFIX_SIZE : PREFIX_SIZE + length])
        del self._pending[: PREFIX_SIZE + length]
        return payload

    def recv_message(self, timeout=None):
        """The next reply as a dict."""
        return decode_message(self.recv_frame(timeout))

    def recv_buffer(self, timeout=None, max_length=MAX_BUFFER_LENGTH):
        """The bytes of the next raw buffer frame (b"" for the empty frame)."""
        return self.recv_frame(timeout, max_length)

    def recv_available(self, timeout):
        """Whatever bytes arrive within `timeout` (b"" if none); raises ConnectionClosed if
        the server closes with nothing left to read. Used to check that nothing was sent."""
        if not self._pending:
            try:
                self._receive_some(time.monotonic() + timeout)
            except Timeout:
                return b""
        data = bytes(self._pending)
        self._pending.clear()
        return data

    def wait_closed(self, timeout=None):
        """Wait until the server closes the connection; ProtocolError if data arrives first,
        Timeout if the connection is still open at the end."""
        seconds = self._timeout(timeout)
        deadline = time.monotonic() + seconds
        try:
            while not self._pending:
                self._receive_some(deadline)
        except ConnectionClosed:
            self.close()
            return
        except Timeout:
            raise Timeout(f"{self.host}:{self.port} still open after {seconds} s") from None
        raise ProtocolError(f"expected the connection to close, got {bytes(self._pending)!r}")

    def call(self, message, timeout=None):
        """Send a request and return its reply."""
        self.send_message(message)
        return self.recv_message(timeout)

    def ping(self, timeout=None):
        """Send "ping"; ProtocolError unless the reply is {"retVal": 0}."""
        reply = self.call({"api": "ping"}, timeout)
        if reply != {"retVal": RET_OK}:
            raise ProtocolError(f"unexpected reply to ping: {reply}")
        return reply

    def disconnect(self, timeout=None):
        """Send "disconnect" (which has no reply) and wait for the server to close."""
        self.send_message({"api": "disconnect"})
        self.wait_closed(timeout)

    # ---- Camera, mode and register commands (command server) ----
    # Each returns the whole reply; "retVal" tells success (0) from failure.

    def open_cameras(self, sensor_dir=None):
        """Opens the board's cameras (once per server; later calls list them)."""
        request = {"api": "ze_OpenCameras2"}
        if sensor_dir is not None:
            request["sensor_dir"] = sensor_dir
        return self.call(request)

    def open_cameras_no_sensor(self):
        return self.call({"api": "ze_OpenCamerasNoSensor"})

    def close_cameras(self, device_names):
        return self.call({"api": "ze_CloseCameras2", "deviceNames": list(device_names)})

    def set_sensor(self, device_name, **keys):
        """Replaces the camera's sensor record by one holding `keys` (the request's keys,
        e.g. width=640, vcWidth=[640])."""
        return self.call({"api": "ze_setSensor", "deviceName": device_name, **keys})

    def start_transport(self, device_name):
        return self.call({"api": "ze_startTransport", "deviceName": device_name})

    def stop_transport(self, device_name):
        return self.call({"api": "ze_stopTransport", "deviceName": device_name})

    def get_mode(self, device_name, mode):
        return self.call({"api": "ze_getMode", "deviceName": device_name, "mode": mode})

    def set_mode(self, device_name, mode, val):
        return self.call({"api": "ze_setMode", "deviceName": device_name, "mode": mode, "val": val})

    def update_frame_size(self, device_name, width, height, bits_per_clock, clocks_per_pixel):
        return self.call(
            {
                "api": "ze_updateFrameSize",
                "deviceName": device_name,
                "width": width,
                "height": height,
                "bitsPerClock": bits_per_clock,
                "clocksPerPixel": clocks_per_pixel,
            }
        )

    def update_buffer_size(self, device_name, raw_buffer_size):
        request = {"api": "ze_updateBufferSize", "deviceName": device_name}
        return self.call({**request, "rawBufferSize": raw_buffer_size})

    def _bus_request(self, api, device_name, ship_addr, addr_size, data_size, **keys):
        return {
            "api": api,
            "deviceName": device_name,
            "shipAddr": ship_addr,
            "addrSize": addr_size,
            "dataSize": data_size,
            **keys,
        }

    def read_register(self, device_name, ship_addr, reg_addr, addr_size=16, data_size=16):
        return self.call(
            self._bus_request(
                "ze_readRegister", device_name, ship_addr, addr_size, data_size, regAddr=reg_addr
            )
        )

    def write_register(self, device_name, ship_addr, reg_addr, val, addr_size=16, data_size=16):
        return self.call(
            self._bus_request(
                "ze_writeRegister",
                device_name,
                ship_addr,
                addr_size,
                data_size,
                regAddr=reg_addr,
                val=val,
            )
        )

    def read_registers(self, device_name, ship_addr, start, count, addr_size=16, data_size=16):
        return self.call(
            self._bus_request(
                "ze_readRegisters",
                device_name,
                ship_addr,
                addr_size,
                data_size,
                startAddr=start,
                numRegs=count,
            )
        )

    def write_registers(self, device_name, ship_addr, start, vals, addr_size=16, data_size=16):
        return self.call(
            self._bus_request(
                "ze_writeRegisters",
                device_name,
                ship_addr,
                addr_size,
                data_size,
                startAddr=start,
                vals=list(vals),
            )
        )

    def read_sensor_registers(self, device_name, ship_addr, addr_space, start, count):
        return self.call(
            {
                "api": "ze_readSensorRegisters",
                "deviceName": device_name,
                "shipAddr": ship_addr,
                "addrSpace": addr_space,
                "startAddr": start,
                "numRegs": count,
            }
        )

    def write_sensor_registers(self, device_name, ship_addr, addr_space, start, vals):
        return self.call(
            {
                "api": "ze_writeSensorRegisters",
                "deviceName": device_name,
                "shipAddr": ship_addr,
                "addrSpace": addr_space,
                "startAddr": start,
                "vals": list(vals),
            }
        )

    # ---- Files and administration (command server) ----

    def upload_start(self, path, file_size, resume=False):
        """Starts (or resumes) an upload; the reply's "progress" is where to go on from."""
        return self.call({"api": "uploadFile", "path": path, "fileSize": file_size, "resume": resume})

    def upload_chunk(self, path, offset, data, cancel=False):
        """Sends one chunk of an upload and returns the reply."""
        request = {
            "api": "uploadFileTransfer",
            "path": path,
            "cancel": cancel,
            "offset": offset,
            "transferSize": len(data),
        }
        self.send_raw(encode_message(request) + bytes(data))
        return self.recv_message()

    def download_start(self, path):
        """Starts a download; the reply's "fileSize" is the size of the board's file."""
        return self.call({"api": "downloadFile", "path": path})

    def download_chunk(self, path, offset, size, cancel=False):
        """Up to `size` bytes of a download from `offset` (b"" at the end or on failure)."""
        request = {"api": "downloadFileTransfer", "path": path, "cancel": cancel}
        self.send_message({**request, "offset": offset, "transferSize": size})
        return self.recv_buffer()

    def upload(self, local_path, remote_path, chunk_size=FILE_CHUNK, resume=True, progress=None):
        """Copies a local file to the board, resuming a partial upload when `resume` is set.
        `progress` is a stream (e.g. sys.stderr) for a progress line. Returns the size."""
        with open(local_path, "rb") as source:
            size = os.fstat(source.fileno()).st_size
            reply = self.upload_start(remote_path, size, resume)
            if reply.get("retVal") != RET_OK:
                raise CommandFailed("uploadFile", reply)
            offset = reply["progress"]
            source.seek(offset)
            while True:
                data = source.read(min(chunk_size, size - offset))
                reply = self.upload_chunk(remote_path, offset, data)
                if reply.get("retVal") != RET_OK:
                    raise CommandFailed("uploadFileTransfer", reply)
                offset = reply["progress"]
                _show_progress(progress, "upload", remote_path, offset, size)
                if offset >= size:
                    return size
                source.seek(offset)

    def download(self, remote_path, local_path, chunk_size=FILE_CHUNK, resume=True, progress=None):
        """Copies a board file to `local_path` through a partial file that a later call with
        `resume` continues. Returns the size."""
        reply = self.download_start(remote_path)
        if reply.get("retVal") != RET_OK:
            raise CommandFailed("downloadFile", reply)
        size = reply["fileSize"]
        partial = local_path + PARTIAL_SUFFIX
        with open(partial, "ab" if resume else "wb") as target:
            offset = target.tell()
            while offset < size:
                data = self.download_chunk(remote_path, offset, min(chunk_size, size - offset))
                if not data:
                    raise ProtocolError(f"{remote_path} ended after {offset} of {size} bytes")
                target.write(data)
                offset += len(data)
                _show_progress(progress, "download", remote_path, offset, size)
        # Past the end: the server ends the download (an empty frame).
        self.download_chunk(remote_path, size, 1)
        os.replace(partial, local_path)
        return size

    def invoke(self, command_line, and_exit=False):
        """Runs a shell command on the board; the reply holds its raw wait "status"."""
        api = "invokeAndExit" if and_exit else "invoke"
        return self.call({"api": api, "commandLine": command_line})

    def get_versions(self):
        return self.call({"api": "getVersions"})

    # ---- Frame commands (frame server) ----

    def grab(self, device_name, buffer_size):
        """Grabs one frame into the server's buffer for `device_name`; the reply describes
        it (the bytes stay on the server until fetched)."""
        request = {"api": "ze_grabFrame", "deviceName": device_name}
        return self.call({**request, "bufferSize": buffer_size})

    def bulk_transfer(self, device_name, offset, transfer_size=0, buffer_size=0xFFFFFFFF):
        """One chunk of the last grabbed image from `offset` (b"" when nothing is left).
        A server that does not know the camera answers with a message: CommandFailed."""
        self.send_message(
            {
                "api": "bulkTransfer",
                "deviceName": device_name,
                "offset": offset,
                "transferSize": transfer_size,
                "bufferSize": buffer_size,
            }
        )
        return self._chunk_or_failure("bulkTransfer")

    def fetch_frame(self, device_name, size, chunk_size=0):
        """The first `size` bytes of the last grabbed image, fetched chunk by chunk."""
        image = bytearray()
        while len(image) < size:
            chunk = self.bulk_transfer(
                device_name, len(image), min(chunk_size or DEFAULT_CHUNK, size - len(image)), size
            )
            if not chunk:
                raise ProtocolError(f"image ended after {len(image)} of {size} bytes")
            image += chunk
        return bytes(image)

    def grab_frame(self, device_name, buffer_size, chunk_size=0):
        """Grabs a frame and fetches all of it: (image bytes, grab reply). CommandFailed when
        the grab fails."""
        info = self.grab(device_name, buffer_size)
        if info.get("retVal") != RET_OK:
            raise CommandFailed("ze_grabFrame", info)
        return self.fetch_frame(device_name, info["bytesReturned"], chunk_size), info

    def _chunk_or_failure(self, api):
        """A raw chunk, or CommandFailed when the server answered with a message instead:
        a short frame holding exactly {"retVal": n}."""
        payload = self.recv_buffer()
        if payload.startswith(b'{"retVal":') and len(payload) < 32:
            try:
                reply = decode_message(payload)
            except ProtocolError:
                return payload
            if set(reply) == {"retVal"}:
                raise CommandFailed(api, reply)
        return payload

    def _timeout(self, timeout):
        return self.timeout if timeout is None else timeout

    def _socket(self):
        if self.sock is None:
            raise ConnectionClosed("not connected")
        return self.sock

    def _fill(self, size, deadline):
        while len(self._pending) < size:
            self._receive_some(deadline)

    def _receive_some(self, deadline):
        sock = self._socket()
        # Past the deadline one last look at what has already arrived (a non-blocking recv).
        sock.settimeout(max(0.0, deadline - time.monotonic()))
        try:
            data = sock.recv(_RECV_CHUNK)
        except (socket.timeout, BlockingIOError):
            raise Timeout(f"no complete frame from {self.host}:{self.port} in time") from None
        except (ConnectionResetError, ConnectionAbortedError):
            raise ConnectionClosed("connection reset by the server") from None
        if not data:
            raise ConnectionClosed(
                f"server closed the connection ({len(self._pending)} bytes of a frame pending)"
            )
        self._pending += data


def _show_progress(stream, what, path, done, size):
    if stream is None:
        return
    percent = 100 if size == 0 else done * 100 // size
    end = "\n" if done >= size else ""
    print(f"\r{what} {path}: {done} of {size} bytes ({percent}%)", end=end, file=stream, flush=True)


def connect_when_ready(host, port, deadline_seconds, interval=0.05):
    """Connect to a server that is still starting: retries refused connections until the
    deadline. Returns a connected QrbClient or raises Timeout."""
    deadline = time.monotonic() + deadline_seconds
    last_error = None
    while time.monotonic() < deadline:
        client = QrbClient(host, port)
        try:
            return client.connect(timeout=max(0.1, deadline - time.monotonic()))
        except (OSError, Timeout) as error:
            last_error = error
        time.sleep(interval)
    raise Timeout(f"{host}:{port} did not accept a connection in time ({last_error})")


def main(argv=None):
    parser = argparse.ArgumentParser(description="Send requests to a qrb_server.")
    parser.add_argument("--host", required=True, help="address of the board")
    ports = parser.add_mutually_exclusive_group()
    ports.add_argument("--port", type=int, default=COMMAND_PORT, help="port (default 29824)")
    ports.add_argument(
        "--frame", action="store_true", help="talk to the frame server (port 29825)"
    )
    parser.add_argument("--timeout", type=float, default=DEFAULT_TIMEOUT, help="seconds")
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("ping", help='send {"api":"ping"} and print the reply')
    call = commands.add_parser("call", help="send one JSON request and print the reply")
    call.add_argument("request", help='the request object, e.g. \'{"api":"ping"}\'')
    commands.add_parser("disconnect", help="ask the server to close the connection")
    for name, source, target in (("upload", "local", "remote"), ("download", "remote", "local")):
        transfer = commands.add_parser(name, help=f"copy a {source} file to a {target} path")
        transfer.add_argument("source")
        transfer.add_argument("target")
        transfer.add_argument("--restart", action="store_true", help="do not resume")
        transfer.add_argument("--chunk", type=int, default=FILE_CHUNK, help="bytes per chunk")
    args = parser.parse_args(argv)

    request = None
    if args.command == "call":
        try:
            request = json.loads(args.request)
        except ValueError as error:
            parser.error(f"request is not valid JSON: {error}")
        if not isinstance(request, dict):
            parser.error("request must be a JSON object")

    port = FRAME_PORT if args.frame else args.port
    try:
        with QrbClient(args.host, port, args.timeout) as client:
            if args.command == "ping":
                reply = client.ping()
            elif args.command in ("upload", "download"):
                copy = client.upload if args.command == "upload" else client.download
                size = copy(args.source, args.target, args.chunk, not args.restart, sys.stderr)
                reply = {"retVal": RET_OK, "bytes": size}
            elif args.command == "disconnect":
                client.disconnect()
                print("disconnected")
                return 0
            else:
                reply = client.call(request)
            # End the session the orderly way, so the server does not log a lost client; a
            # server that has already closed needs nothing more.
            try:
                client.disconnect()
            except ConnectionClosed:
                pass
    except (QrbClientError, OSError) as error:
        print(f"qrb_client: {args.host}:{port}: {error}", file=sys.stderr)
        return 1
    print(json.dumps(reply, separators=(",", ":"), ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
