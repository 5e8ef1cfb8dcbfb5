#!/usr/bin/env python3
"""qrb_server file transfers that lose their connection in the middle of a chunk, at 20
random points each way, and are resumed: the copies are byte-identical (SHA-256) and no
partial file is left once they are complete. The random points are printed with their seed."""
import hashlib
import os
import random
import shutil
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import board_server as harness  # noqa: E402
from board_server import SERVER_HOST  # noqa: E402
from qrb_client import PARTIAL_SUFFIX, PREFIX_SIZE, RET_OK, QrbClient, encode_message  # noqa: E402

ARGS = None
FILE_SIZE = 6 * 1024 * 1024 + 12345
CHUNK = 256 * 1024
INTERRUPTIONS = 20


def configure(args):
    global ARGS
    ARGS = args


def sha256_of(path):
    with open(path, "rb") as stream:
        return hashlib.sha256(stream.read()).hexdigest()


def cut_points(rng):
    """INTERRUPTIONS distinct points, each strictly inside a chunk, ascending."""
    points = set()
    while len(points) < INTERRUPTIONS:
        point = rng.randrange(1, FILE_SIZE)
        if point % CHUNK:
            points.add(point)
    return sorted(points)


class InterruptedTransfers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="qrb_resume.")
        guard = harness.PowerGuard(cls.dir)
        cls.guard = guard
        cls.server = harness.BoardServer(ARGS.server, ARGS.boardsim, env=guard.env(), cwd=cls.dir)
        guard.verify(cls.server)
        cls.server.start()
        cls.server.wait_ready()
        cls.source = os.path.join(cls.dir, "source.bin")
        with open(cls.source, "wb") as stream:
            stream.write(os.urandom(FILE_SIZE))
        seed = random.randrange(1 << 32)
        print(f"random seed {seed}", flush=True)
        cls.rng = random.Random(seed)

    @classmethod
    def tearDownClass(cls):
        cls.server.cleanup()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def tearDown(self):
        self.assertIsNone(self.server.process.poll(), self.server.describe())
        self.assertEqual(self.guard.recorded(), "")

    def test_upload_dropped_mid_chunk_resumes_to_an_identical_file(self):
        target = os.path.join(self.dir, "uploaded.bin")
        with open(self.source, "rb") as stream:
            data = stream.read()
        for point in cut_points(self.rng):
            with self.subTest(point=point), QrbClient(SERVER_HOST).connect() as client:
                reply = client.upload_start(target, FILE_SIZE, resume=True)
                self.assertEqual(reply["retVal"], RET_OK)
                offset = reply["progress"]
                self.assertEqual(offset, os.path.getsize(target + PARTIAL_SUFFIX))
                self.assertLessEqual(offset, point)
                # Nothing of an interrupted chunk is written.
                self.assertEqual(offset % CHUNK, 0)
                # Whole chunks up to the one holding the point, then part of that one.
                while offset + CHUNK <= point:
                    offset = client.upload_chunk(target, offset, data[offset : offset + CHUNK])["progress"]
                request = {"api": "uploadFileTransfer", "path": target, "offset": offset}
                end = min(offset + CHUNK, FILE_SIZE)
                client.send_raw(encode_message({**request, "transferSize": end - offset}))
                client.send_raw(data[offset:point])
                client.abort()
            self.assertFalse(os.path.exists(target))
        with QrbClient(SERVER_HOST).connect() as client:
            client.upload(self.source, target, CHUNK, resume=True)
        self.assertEqual(sha256_of(target), sha256_of(self.source))
        self.assertFalse(os.path.exists(target + PARTIAL_SUFFIX))

    def test_download_dropped_mid_chunk_resumes_to_an_identical_file(self):
        local = os.path.join(self.dir, "downloaded.bin")
        partial = local + PARTIAL_SUFFIX
        for point in cut_points(self.rng):
            with self.subTest(point=point), QrbClient(SERVER_HOST).connect() as client:
                self.assertEqual(client.download_start(self.source), {"retVal": 0, "fileSize": FILE_SIZE})
                with open(partial, "ab") as target:
                    offset = target.tell()
                    while offset + CHUNK <= point:
                        chunk = client.download_chunk(self.source, offset, CHUNK)
                        self.assertEqual(len(chunk), CHUNK)
                        target.write(chunk)
                        offset += len(chunk)
                request = {"api": "downloadFileTransfer", "path": self.source, "offset": offset}
                client.send_message({**request, "transferSize": CHUNK})
                (length,) = struct.unpack(">I", client.recv_bytes(PREFIX_SIZE))
                self.assertEqual(length, min(CHUNK, FILE_SIZE - offset))
                client.recv_bytes(point - offset)
                client.abort()
        with QrbClient(SERVER_HOST).connect() as client:
            client.download(self.source, local, CHUNK, resume=True)
        self.assertEqual(sha256_of(local), sha256_of(self.source))
        self.assertFalse(os.path.exists(partial))


if __name__ == "__main__":
    harness.run_tests(__doc__.splitlines()[0], configure)
