#!/usr/bin/env python3
"""qrb_server end to end: file uploads and downloads (chunks, completion through the partial
file, resume, cancel, refusals that keep the connection in step), shell commands run in the
test's own directory, the power commands (recorded by the simulated board, never run) and the
versions from the driver properties.

The server runs in a private network namespace on a fresh simulated board, with recording
stand-ins for the power commands first in its PATH (checked before it starts)."""
import hashlib
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import board_server as harness  # noqa: E402
from board_server import SERVER_HOST  # noqa: E402
from qrb_client import (  # noqa: E402
    MAX_TRANSFER_SIZE,
    RET_OK,
    RET_REFUSED,
    ConnectionClosed,
    QrbClient,
    encode_message,
)

ARGS = None
OK = {"retVal": RET_OK}
REFUSED = {"retVal": RET_REFUSED}
PARTIAL = "~temp"
# The default board's driver versions ("35 4 1 5 10 120 2 1 0").
BOARD_VERSIONS = {
    "jetpackRelease": "35.4.1",
    "kernelRelease": "5.10.120",
    "ostrixRelease": "2.1.0",
    "serverRelease": "6.1.53.60859",
}
NO_VIDEO0_BOARD = "# capture nodes without /dev/video0\nvideo_nodes = 1 2\n"


def configure(args):
    global ARGS
    ARGS = args


def read(path):
    with open(path, "rb") as stream:
        return stream.read()


def write(path, data):
    with open(path, "wb") as stream:
        stream.write(data)


class GuardedServer:
    """A board server run in a temporary directory of its own (its working directory), with
    the power-command stand-ins verified before the start."""

    def __init__(self, board_conf=None):
        self.dir = tempfile.mkdtemp(prefix="qrb_files.")
        self.guard = harness.PowerGuard(self.dir)
        self.work = os.path.join(self.dir, "work")
        os.mkdir(self.work)
        self.server = harness.BoardServer(
            ARGS.server, ARGS.boardsim, board_conf, env=self.guard.env(), cwd=self.work
        )
        self.guard.verify(self.server)
        self.server.start()
        self.server.wait_ready()

    def path(self, name):
        return os.path.join(self.work, name)

    def client(self):
        return QrbClient(SERVER_HOST).connect()

    def cleanup(self):
        self.server.cleanup()
        shutil.rmtree(self.dir, ignore_errors=True)


class FileAndAdminCommands(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.board = GuardedServer()

    @classmethod
    def tearDownClass(cls):
        cls.board.cleanup()

    def setUp(self):
        self.client = self.board.client()

    def tearDown(self):
        self.client.close()
        self.assertIsNone(self.board.server.process.poll(), self.board.server.describe())
        self.assertEqual(self.board.guard.recorded(), "", "a power command stand-in ran")

    def path(self, name):
        return self.board.path(name)

    def test_whole_upload_replaces_the_file_and_leaves_no_partial_file(self):
        target = self.path("ten.bin")
        write(target, b"old content that is longer")
        self.assertEqual(self.client.upload_start(target, 10), {"retVal": 0, "progress": 0})
        self.assertEqual(self.client.upload_chunk(target, 0, b"0123456789"), {"retVal": 0, "progress": 10})
        self.assertEqual(read(target), b"0123456789")
        self.assertFalse(os.path.exists(target + PARTIAL))

    def test_unfinished_upload_stays_in_the_partial_file_and_resumes(self):
        target = self.path("partial.bin")
        write(target, b"keep")
        data = os.urandom(3000)
        self.assertEqual(self.client.upload_start(target, 3000)["progress"], 0)
        self.assertEqual(self.client.upload_chunk(target, 0, data[:1000]), {"retVal": 0, "progress": 1000})
        self.assertEqual(read(target), b"keep")
        self.assertEqual(read(target + PARTIAL), data[:1000])
        # A new connection resumes where the partial file ends.
        self.client.close()
        self.client = self.board.client()
        self.assertEqual(self.client.upload_start(target, 3000, resume=True), {"retVal": 0, "progress": 1000})
        # Rewriting a part already sent is allowed; a gap or a chunk past the size is not.
        self.assertEqual(self.client.upload_chunk(target, 500, data[500:1500])["progress"], 1500)
        self.assertEqual(self.client.upload_chunk(target, 1600, data[1600:1700]), {"retVal": 1, "progress": 1500})
        self.assertEqual(self.client.upload_chunk(target, 1500, data[1500:] + b"x"), {"retVal": 1, "progress": 1500})
        self.assertEqual(self.client.upload_chunk(target, 1500, data[1500:]), {"retVal": 0, "progress": 3000})
        self.assertEqual(read(target), data)
        self.assertFalse(os.path.exists(target + PARTIAL))

    def test_resume_without_state_continues_a_partial_file_and_restart_truncates_it(self):
        target = self.path("left.bin")
        write(target + PARTIAL, b"p" * 1000)
        self.assertEqual(self.client.upload_start(target, 2000, resume=True), {"retVal": 0, "progress": 1000})
        self.assertEqual(self.client.upload_start(target, 2000, resume=False), {"retVal": 0, "progress": 0})
        self.assertEqual(os.path.getsize(target + PARTIAL), 0)

    def test_cancel_ends_the_upload_and_keeps_the_partial_file(self):
        target = self.path("cancel.bin")
        self.client.upload_start(target, 100)
        self.client.upload_chunk(target, 0, b"a" * 40)
        self.assertEqual(self.client.upload_chunk(target, 0, b"", cancel=True), OK)
        self.assertEqual(self.client.upload_chunk(target, 40, b"b" * 60), REFUSED)
        self.assertEqual(read(target + PARTIAL), b"a" * 40)
        self.assertFalse(os.path.exists(target))

    def test_refused_chunks_are_read_and_dropped_so_the_connection_stays_in_step(self):
        # Data of a transfer the server does not hold must not be taken for requests.
        payload = b"\x00\x00\x00\x0f" + b'{"api":"ping"}x' * 10
        self.assertEqual(self.client.upload_chunk(self.path("nothing.bin"), 0, payload), REFUSED)
        self.client.ping()
        target = self.path("typed.bin")
        self.client.upload_start(target, 100)
        for key, value in [("path", 5), ("offset", "0"), ("cancel", 1)]:
            with self.subTest(key=key):
                request = {"api": "uploadFileTransfer", "path": target, "offset": 0, key: value}
                self.client.send_raw(encode_message({**request, "transferSize": len(payload)}) + payload)
                self.assertEqual(self.client.recv_message(), REFUSED)
                self.client.ping()
        self.assertEqual(self.client.upload_chunk(target, 0, b"x" * 100), {"retVal": 0, "progress": 100})
        self.assertFalse(os.path.exists(self.path("nothing.bin")))

    def test_chunk_above_the_memory_limit_is_refused_and_the_connection_ends(self):
        target = self.path("huge.bin")
        self.client.upload_start(target, MAX_TRANSFER_SIZE * 2)
        request = {"api": "uploadFileTransfer", "path": target, "offset": 0}
        self.client.send_message({**request, "transferSize": MAX_TRANSFER_SIZE + 1})
        self.assertEqual(self.client.recv_message(), REFUSED)
        self.client.wait_closed()
        rss = self.board.server.rss_kib()
        self.assertLess(rss * 1024, MAX_TRANSFER_SIZE, "the chunk must not have been allocated")
        # The state stays; a chunk within the limit goes on.
        with self.board.client() as client:
            self.assertEqual(client.upload_chunk(target, 0, b"z" * 10), {"retVal": 0, "progress": 10})
            client.upload_chunk(target, 0, b"", cancel=True)

    def test_unsafe_or_malformed_upload_requests_are_refused_and_create_nothing(self):
        os.mkdir(self.path("dir"))
        before = sorted(os.listdir(self.board.work))
        for path in ["", "../escape.bin", "dir/../x.bin", "./x.bin", "dir/", "x.bin~temp", "a\0b", 7, None]:
            with self.subTest(path=path):
                reply = self.client.call({"api": "uploadFile", "path": path, "fileSize": 4})
                self.assertEqual(reply, {"retVal": 1, "progress": 0})
        for key, value in [("fileSize", -1), ("fileSize", "4"), ("fileSize", 1.5), ("resume", 1)]:
            with self.subTest(key=key, value=value):
                request = {"api": "uploadFile", "path": self.path("bad.bin"), "fileSize": 4, key: value}
                self.assertEqual(self.client.call(request), {"retVal": 1, "progress": 0})
        self.assertEqual(self.client.upload_start(self.path("dir"), 4), {"retVal": 1, "progress": 0})
        self.assertEqual(self.client.upload_start(self.path("no/such/dir.bin"), 4), {"retVal": 1, "progress": 0})
        self.assertEqual(sorted(os.listdir(self.board.work)), before)
        self.assertFalse(os.path.exists(os.path.join(self.board.dir, "escape.bin~temp")))

    def test_relative_paths_are_taken_from_the_working_directory(self):
        self.assertEqual(self.client.upload_start("rel.bin", 3)["retVal"], 0)
        self.assertEqual(self.client.upload_chunk("rel.bin", 0, b"abc"), {"retVal": 0, "progress": 3})
        self.assertEqual(read(self.path("rel.bin")), b"abc")
        self.assertEqual(self.client.download_start("rel.bin"), {"retVal": 0, "fileSize": 3})
        self.assertEqual(self.client.download_chunk("rel.bin", 0, 10), b"abc")

    def test_download_in_chunks_ends_past_the_end(self):
        source = self.path("down.bin")
        data = os.urandom(200_000)
        write(source, data)
        self.assertEqual(self.client.download_start(source), {"retVal": 0, "fileSize": 200_000})
        chunks = [self.client.download_chunk(source, offset, 65_537) for offset in range(0, 200_000, 65_537)]
        self.assertEqual(b"".join(chunks), data)
        self.assertEqual(self.client.download_chunk(source, 100, 10), data[100:110])
        self.assertEqual(self.client.download_chunk(source, -1, 10), b"")
        # The download is still held after a refused offset; at the end it is over.
        self.assertEqual(self.client.download_chunk(source, 200_000, 10), b"")
        self.assertEqual(self.client.download_chunk(source, 0, 10), b"")

    def test_download_cancel_and_refusals(self):
        source = self.path("cancel_down.bin")
        write(source, b"0123456789")
        self.client.download_start(source)
        self.assertEqual(self.client.download_chunk(source, 0, 4, cancel=True), b"")
        self.assertEqual(self.client.download_chunk(source, 0, 4), b"")
        os.mkdir(self.path("down_dir"))
        for path in [self.path("missing.bin"), self.path("down_dir"), "", "../x", 3]:
            with self.subTest(path=path):
                self.assertEqual(self.client.call({"api": "downloadFile", "path": path}), {"retVal": 1, "fileSize": 0})
        self.client.ping()

    def test_client_copies_files_both_ways_with_a_progress_line(self):
        local = os.path.join(self.board.dir, "local.bin")
        data = os.urandom(300_000)
        write(local, data)
        remote = self.path("copied.bin")

        class Lines:
            text = ""

            def write(self, text):
                Lines.text += text

            def flush(self):
                pass

        self.assertEqual(self.client.upload(local, remote, chunk_size=100_000, progress=Lines()), 300_000)
        self.assertIn("upload", Lines.text)
        self.assertTrue(Lines.text.endswith("300000 of 300000 bytes (100%)\n"), Lines.text)
        back = os.path.join(self.board.dir, "back.bin")
        self.client.download(remote, back, chunk_size=70_000)
        self.assertEqual(hashlib.sha256(read(back)).digest(), hashlib.sha256(data).digest())
        self.assertFalse(os.path.exists(back + PARTIAL))

    def test_invoke_runs_in_the_working_directory_and_answers_the_wait_status(self):
        self.assertEqual(self.client.invoke("exit 3"), {"retVal": 0, "status": 768})
        self.assertEqual(self.client.invoke("echo made > invoked.txt"), {"retVal": 0, "status": 0})
        self.assertEqual(read(self.path("invoked.txt")), b"made\n")
        for line in [5, ["ls"], "true\0; echo x > nul.txt"]:
            with self.subTest(line=line):
                self.assertEqual(self.client.call({"api": "invoke", "commandLine": line}), REFUSED)
        self.assertFalse(os.path.exists(self.path("nul.txt")))

    def test_power_commands_answer_first_and_reach_only_the_board(self):
        for api, line in [("shutdown", "shutdown -h now"), ("restart", "shutdown -r now")]:
            with self.subTest(api=api):
                self.client.send_message({"api": api})
                self.assertEqual(self.client.recv_message(), OK)
                # Nothing else is sent; the connection goes on.
                self.client.ping()
                self.assertEqual(harness.read_power_log(self.board.server.board_dir)[-1], line)
        self.assertEqual(len(harness.read_power_log(self.board.server.board_dir)), 2)

    def test_versions_come_from_the_driver(self):
        self.assertEqual(self.client.get_versions(), {"retVal": 0, **BOARD_VERSIONS})
        props = [line for line in harness.read_bus_log(self.board.server.board_dir) if "G_PROPERTY 0xFF7" in line]
        self.assertEqual([line.split()[1] for line in props[-9:]], [f"0x{0xFF7F - i:04X}" for i in range(9)])


class WithoutVideoNode(unittest.TestCase):
    def test_versions_without_the_video_node_refuse_and_keep_the_server(self):
        board = GuardedServer(NO_VIDEO0_BOARD)
        try:
            with board.client() as client:
                reply = client.get_versions()
                self.assertEqual(reply["retVal"], RET_REFUSED)
                self.assertEqual(reply["jetpackRelease"], "0.0.0")
                self.assertEqual(reply["serverRelease"], BOARD_VERSIONS["serverRelease"])
                client.ping()
            self.assertIn("Cannot open /dev/video0", board.server.stderr_text())
        finally:
            board.cleanup()


class InvokeAndExit(unittest.TestCase):
    def test_reply_then_exit_with_status_zero(self):
        board = GuardedServer()
        try:
            with board.client() as client:
                reply = client.invoke("echo bye > bye.txt; exit 2", and_exit=True)
                self.assertEqual(reply, {"retVal": 0, "status": 512})
                with self.assertRaises(ConnectionClosed):
                    client.recv_message()
            self.assertEqual(board.server.wait_exit(), 0)
            self.assertEqual(read(board.path("bye.txt")), b"bye\n")
            self.assertEqual(board.guard.recorded(), "")
        finally:
            board.cleanup()


if __name__ == "__main__":
    harness.run_tests(__doc__.splitlines()[0], configure)
