"""The server as a whole, against real NFS clients (libnfs' tools and our libnfs probe)."""

import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import unittest

import harness
from harness import Server, probe, run


def make_files(root, names):
    for name in names:
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(name)


class Serving(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="qdv-e2e-")
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            server.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def folder(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path, exist_ok=True)
        return path

    def serve(self, shares, **kwargs):
        server = Server(shares, **kwargs)
        self.servers.append(server)
        self.assertTrue(server.started(), "server did not start: %s %s" % (server.drain(), server.errors))
        return server

    def test_every_export_shows_its_own_folder(self):
        shares = {}
        for number in range(1, 5):
            shares[number] = self.folder("share%d" % number)
            make_files(shares[number], ["only-in-%d.txt" % number])
        server = self.serve(shares)
        for number in range(1, 5):
            listing = run(["nfs-ls", server.url("/quonhd%d" % number)])
            self.assertEqual(listing.returncode, 0, listing.stderr)
            self.assertIn("only-in-%d.txt" % number, listing.stdout)
            for other in set(range(1, 5)) - {number}:
                self.assertNotIn("only-in-%d.txt" % other, listing.stdout)

    def test_names_travel_in_the_players_code_page(self):
        """A Korean player reads names in code page 949: the Windows build's under a Korean
        locale, quondorveld's with --charset CP949. The share's own folder is one that 949 cannot
        name. The names are bytes in 949, passed as they are."""
        share = self.folder("Müzik")
        hangul, accented = "한글.txt", "café.txt"
        make_files(share, [hangul, accented])
        korean = {"LANG": "ko_KR.UTF-8", "LC_ALL": "ko_KR.UTF-8"}
        if harness.under_wine():
            server = self.serve({1: share}, env=korean)
        else:
            server = self.serve({1: share}, extra=["--charset", "CP949"])
        listing = subprocess.run(["nfs-ls", server.url("/quonhd1")], capture_output=True,
                                 timeout=harness.CLIENT_LIMIT)
        self.assertEqual(listing.returncode, 0, listing.stderr)
        names = [line.split()[-1] for line in listing.stdout.splitlines()]
        aliases = [name for name in names if b"~" in name]
        self.assertIn(hangul.encode("cp949"), names)
        self.assertEqual(len(aliases), 1, names)
        for name, contents in ((hangul.encode("cp949"), hangul), (aliases[0], accented)):
            cat = subprocess.run(["nfs-cat", server.url("/quonhd1/" + os.fsdecode(name))],
                                 capture_output=True, timeout=harness.CLIENT_LIMIT)
            self.assertEqual(cat.stdout, contents.encode(), cat.stderr)

    def test_a_recursive_listing_names_every_entry_once(self):
        share = self.folder("tree")
        expected = set()
        for top in range(10):
            for sub in range(5):
                expected.add("d%d/s%d" % (top, sub))
                for leaf in range(58):
                    expected.add("d%d/s%d/file%02d.avi" % (top, sub, leaf))
            expected.add("d%d" % top)
            for leaf in range(4):
                expected.add("d%d/top%d.txt" % (top, leaf))
        make_files(share, [e for e in expected if e.endswith((".avi", ".txt"))])
        self.assertEqual(len(expected), 3000)
        server = self.serve({1: share})
        listing = run(["nfs-ls", "-R", server.url("/quonhd1")])
        self.assertEqual(listing.returncode, 0, listing.stderr)
        names = [line.split()[-1] for line in listing.stdout.splitlines() if line.strip()]
        self.assertEqual(len(names), len(set(names)), "a name was listed twice")
        self.assertEqual(set(names), expected)

    def test_a_recursive_listing_of_a_folder_inside_a_share(self):
        share = self.folder("deep")
        make_files(share, ["Films/2024/a.avi", "Films/2024/b.avi", "Films/old/c.avi", "top.txt"])
        server = self.serve({1: share})
        listing = run(["nfs-ls", "-R", server.url("/quonhd1/Films")])
        self.assertEqual(listing.returncode, 0, listing.stderr)
        names = [line.split()[-1] for line in listing.stdout.splitlines() if line.strip()]
        self.assertEqual(sorted(names), ["2024", "2024/a.avi", "2024/b.avi", "old", "old/c.avi"])

    @unittest.skipIf(harness.under_wine(), "POSIX users; Windows serves as whoever starts it")
    def test_serving_as_another_user_once_the_ports_are_bound(self):
        if os.geteuid() != 0:
            self.skipTest("only root can become another user")
        nobody = pwd.getpwnam("nobody")
        os.chmod(self.root, 0o755)
        share = self.folder("shared")
        os.chmod(share, 0o777)
        make_files(share, ["open.txt", "root-only.txt"])
        os.chmod(os.path.join(share, "root-only.txt"), 0o600)
        server = self.serve({1: share}, extra=["--user", "nobody"])
        with open("/proc/%d/status" % server.process.pid) as status:
            ids = dict(line.split(":", 1) for line in status if ":" in line)
        self.assertEqual(ids["Uid"].split(), [str(nobody.pw_uid)] * 4)
        self.assertEqual(ids["Gid"].split(), [str(nobody.pw_gid)] * 4)
        # Of root's rights only the one to bind the ports again, for a reload.
        self.assertEqual(int(ids["CapPrm"], 16), 1 << 10)
        readable = run(["nfs-cat", server.url("/quonhd1/open.txt")])
        self.assertEqual(readable.stdout, "open.txt")
        self.assertNotEqual(run(["nfs-cat", server.url("/quonhd1/root-only.txt")]).returncode, 0)

    def test_a_listing_in_pieces_and_a_read_of_both_versions(self):
        """libnfs follows our cookies through small pieces: version 3 READDIR and READDIRPLUS,
        version 2 READDIR; then a version 2 READ."""
        share = self.folder("many")
        names = {"clip%04d.mpg" % i for i in range(1000)}
        make_files(share, names)
        server = self.serve({1: share})
        for args in (["readdir", "600"], ["readdirplus", "200", "2000"], ["v2-readdir", "1024"]):
            result = probe(server, "/quonhd1", *args)
            self.assertEqual(result.returncode, 0, result.stderr)
            lines = result.stdout.splitlines()
            listed = lines[:-1]
            self.assertGreater(int(lines[-1].split()[1]), 10, args)
            self.assertEqual(len(listed), len(set(listed)), args)
            self.assertEqual(set(listed) - {".", ".."}, names, args)
        read = probe(server, "/quonhd1", "v2-read", "clip0042.mpg", "4", "100")
        self.assertEqual(read.returncode, 0, read.stderr)
        self.assertEqual(read.stdout.strip(), "read2 0 8 0042.mpg")

    def test_an_unknown_export_is_refused(self):
        server = self.serve({1: self.folder("one")})
        result = probe(server, "/quonhd9", "mnt")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stdout.strip(), "mnt 2 0")
        listing = run(["nfs-ls", server.url("/quonhd9")])
        self.assertNotEqual(listing.returncode, 0)
        self.assertTrue(server.wait_for("Quon sharing started. "))
        self.assertNotIn("Connected with Quon Dorvel ", server.drain())

    def test_mount_and_unmount_are_reported(self):
        server = self.serve({1: self.folder("one")})
        client = subprocess.Popen([harness.PROBE, "127.0.0.1", str(server.mount_port),
                                   str(server.nfs_port), "/quonhd1", "mnt-umnt"],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            self.assertEqual(client.stdout.readline().strip(), "mnt 0")
            self.assertTrue(server.wait_for("Connected with Quon Dorvel "))
            self.assertNotIn("Disconnected with Quon Dorvel ", server.drain())
            client.stdin.write("\n")
            client.stdin.flush()
            self.assertEqual(client.stdout.readline().strip(), "umnt")
            self.assertTrue(server.wait_for("Disconnected with Quon Dorvel "))
        finally:
            client.kill()
            client.communicate()

    def test_a_busy_port_is_named_and_nothing_stays_open(self):
        share = self.folder("busy")
        for index, kind in ((0, socket.SOCK_STREAM), (1, socket.SOCK_DGRAM), (2, socket.SOCK_STREAM)):
            ports = harness.free_ports(3)
            with socket.socket(socket.AF_INET, kind) as holder:
                holder.bind(("127.0.0.1", ports[index]))
                if kind == socket.SOCK_STREAM:
                    holder.listen(1)
                server = Server({1: share}, ports=ports)
                self.servers.append(server)
                self.assertTrue(server.wait_for("Blocked Port :%d" % ports[index]), server.drain())
                if not harness.under_wine():
                    self.assertTrue(server.wait_for_error(
                        "quondorveld: another program holds port %d" % ports[index]))
                self.assertNotEqual(server.process.wait(timeout=harness.START_LIMIT), 0)
            for port in ports:
                self.assertTrue(harness.port_is_free(port), "port %d still held" % port)

    @unittest.skipIf(harness.under_wine(), "Wine does not hand SIGTERM to the program")
    def test_sigterm_stops_sharing_cleanly(self):
        server = self.serve({1: self.folder("one")})
        self.assertEqual(server.stop(), 0)
        lines = server.drain()
        self.assertIn("Quon sharing closed . ", lines)
        for port in server.ports:
            self.assertTrue(harness.port_is_free(port))

    @unittest.skipIf(harness.under_wine(), "Windows has no SIGHUP")
    def test_sighup_restarts_sharing_with_the_settings_read_again(self):
        old, new = self.folder("old"), self.folder("new")
        make_files(old, ["old.txt"])
        make_files(new, ["new.txt"])
        settings = os.path.join(self.root, "settings")
        write(settings, "SHARE1=%s\nSHARE2=%s\n" % (old, old))
        server = self.serve({}, extra=["--config", settings])
        write(settings, "SHARE1=%s\n" % new)
        server.process.send_signal(signal.SIGHUP)
        self.assertTrue(server.wait_for("Quon sharing started. ", count=2), server.errors)
        self.assertIn("quondorveld: /quonhd2 : not shared (was %s)" % old, server.drain())
        self.assertIn("new.txt", run(["nfs-ls", server.url("/quonhd1")]).stdout)
        self.assertNotEqual(run(["nfs-ls", server.url("/quonhd2")]).returncode, 0)
        write(settings, "SHARE1=%s\nPORTS=1\n" % old)
        server.process.send_signal(signal.SIGHUP)
        self.assertTrue(server.wait_for_error("quondorveld: settings not reloaded, sharing goes "
                                              "on as it was: %s, line 2: PORTS" % settings))
        self.assertIn("new.txt", run(["nfs-ls", server.url("/quonhd1")]).stdout)
        self.assertIsNone(server.process.poll())


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


class StandardPorts(unittest.TestCase):
    """The real ports 111, 2049 and 1058: standard clients find MOUNT and NFS through the
    portmapper, as they would on a player's network."""

    @classmethod
    def setUpClass(cls):
        if not all(harness.port_is_free(p) for p in (111, 2049, 1058)):
            raise unittest.SkipTest("a standard port is taken on this machine")
        cls.root = tempfile.mkdtemp(prefix="qdv-e2e-")
        make_files(cls.root, ["film.avi"])
        cls.server = Server({1: cls.root}, ports=[111, 2049, 1058])
        if not cls.server.started():
            said = cls.server.drain() + cls.server.errors
            cls.tearDownClass()
            raise AssertionError("server did not start: %s" % said)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def test_a_client_finds_the_server_through_the_portmapper(self):
        listing = run(["nfs-ls", "nfs://127.0.0.1/quonhd1?version=3"])
        self.assertEqual(listing.returncode, 0, listing.stderr)
        self.assertIn("film.avi", listing.stdout)

    def test_showmount_lists_the_exports(self):
        result = run(["showmount", "-e", "127.0.0.1"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("/quonhd1", result.stdout.split())

    def test_rpcinfo_lists_and_reaches_every_program(self):
        result = run(["rpcinfo", "-p", "127.0.0.1"])
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = {tuple(line.split()[:4]) for line in result.stdout.splitlines()[1:]}
        expected = {(str(program), str(version), protocol, str(port))
                    for program, versions, port in ((100000, (2,), 111), (100005, (1, 3), 1058),
                                                    (100003, (2, 3), 2049))
                    for version in versions for protocol in ("tcp", "udp")}
        self.assertEqual(rows, expected)
        for protocol, program, version in (("udp", 100005, 3), ("tcp", 100003, 3),
                                           ("udp", 100000, 2)):
            ping = run(["rpcinfo", "-T", protocol, "127.0.0.1", str(program), str(version)])
            self.assertEqual(ping.returncode, 0, (protocol, program, ping.stderr))


if __name__ == "__main__":
    unittest.main()
