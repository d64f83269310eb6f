"""Reading, writing, creating, renaming and folders over NFS version 3, with real clients."""

import hashlib
import os
import shutil
import subprocess
import tempfile
import unittest

import harness
from harness import Server, probe, run

BIG = 64 * 1024 * 1024


def digest(path):
    sha = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            sha.update(block)
    return sha.hexdigest()


class Transfer(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="qdv-e2e-")
        self.shares = {1: os.path.join(self.root, "one"), 2: os.path.join(self.root, "two")}
        for folder in self.shares.values():
            os.makedirs(folder)
        self.server = Server(self.shares)
        self.assertTrue(self.server.started(), self.server.errors)

    def tearDown(self):
        self.server.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def local(self, share, name):
        return os.path.join(self.shares[share], name)

    def write_local(self, share, name, data):
        with open(self.local(share, name), "wb") as f:
            f.write(data)

    def read_local(self, share, name):
        with open(self.local(share, name), "rb") as f:
            return f.read()

    def ask(self, *args, export="/quonhd1"):
        result = probe(self.server, export, *args)
        self.assertIn(result.returncode, (0, 1), result.stderr)
        return result.stdout.strip()

    def test_a_large_file_goes_in_and_out_unchanged(self):
        source = os.path.join(self.root, "source.bin")
        with open(source, "wb") as f:
            f.write(os.urandom(BIG))
        copied = run(["nfs-cp", source, self.server.url("/quonhd1/film.bin")])
        self.assertEqual(copied.returncode, 0, copied.stderr)
        self.assertEqual(digest(self.local(1, "film.bin")), digest(source))
        back = os.path.join(self.root, "back.bin")
        fetched = run(["nfs-cp", self.server.url("/quonhd1/film.bin"), back])
        self.assertEqual(fetched.returncode, 0, fetched.stderr)
        self.assertEqual(digest(back), digest(source))

    def test_a_file_two_folders_deep_is_copied_both_ways(self):
        """libnfs mounts the folder of the URL: /quonhd1/Films/2024 here."""
        os.makedirs(self.local(1, "Films/2024"))
        data = os.urandom(300000)
        self.write_local(1, "Films/2024/movie.avi", data)
        fetched = os.path.join(self.root, "movie.avi")
        got = run(["nfs-cp", self.server.url("/quonhd1/Films/2024/movie.avi"), fetched])
        self.assertEqual(got.returncode, 0, got.stderr)
        with open(fetched, "rb") as f:
            self.assertEqual(f.read(), data)
        put = run(["nfs-cp", fetched, self.server.url("/quonhd1/Films/2024/copy.avi")])
        self.assertEqual(put.returncode, 0, put.stderr)
        self.assertEqual(self.read_local(1, "Films/2024/copy.avi"), data)

    def test_nfs_rename_moves_a_file_the_server_has_not_met(self):
        os.makedirs(self.local(1, "Films"))
        self.write_local(1, "unseen.avi", b"U")
        self.assertEqual(self.ask("nfs-rename", "/unseen.avi", "/Films/seen.avi"), "nfs_rename 0")
        self.assertEqual(self.read_local(1, "Films/seen.avi"), b"U")
        self.assertFalse(os.path.exists(self.local(1, "unseen.avi")))

    def test_reads_stop_at_the_end_and_writes_extend(self):
        self.write_local(1, "short.txt", b"hello")
        self.assertEqual(self.ask("read", "short.txt", "3", "10"), "read 0 2 1 lo")
        self.assertEqual(self.ask("read", "short.txt", "0", "5"), "read 0 5 0 hello")
        self.assertEqual(self.ask("write", "short.txt", "8", "XY"), "write 0 2")
        self.assertEqual(self.read_local(1, "short.txt"), b"hello\0\0\0XY")
        self.assertEqual(self.ask("commit", "short.txt"), "commit 0")

    def test_rename_within_and_across_shares(self):
        self.write_local(1, "a.txt", b"A")
        self.assertEqual(self.ask("rename", "a.txt", "/quonhd1", "b.txt"), "rename 0")
        self.assertEqual(self.read_local(1, "b.txt"), b"A")
        self.assertFalse(os.path.exists(self.local(1, "a.txt")))
        self.assertEqual(self.ask("rename", "b.txt", "/quonhd2", "c.txt"), "rename 0")
        self.assertEqual(self.read_local(2, "c.txt"), b"A")
        self.write_local(2, "d.txt", b"D")
        self.assertEqual(self.ask("rename", "c.txt", "/quonhd2", "d.txt", export="/quonhd2"),
                         "rename 17")
        self.assertEqual(self.read_local(2, "d.txt"), b"D")

    @unittest.skipUnless(harness.under_wine(), "exclusive opens exist only on Windows")
    def test_a_file_another_program_holds_is_an_io_error(self):
        self.write_local(1, "locked.avi", b"film")
        holder = subprocess.Popen([harness.WINE, os.environ["QDV_HOLD_FILE"],
                                   harness.host_path(self.local(1, "locked.avi"))],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            self.assertEqual(holder.stdout.readline().strip(), "holding")
            self.assertEqual(self.ask("read", "locked.avi", "0", "4"), "read 5 0 0")
        finally:
            holder.communicate(timeout=harness.START_LIMIT)
        self.assertEqual(self.ask("read", "locked.avi", "0", "4"), "read 0 4 0 film")


if __name__ == "__main__":
    unittest.main()
