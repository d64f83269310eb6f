"""The Debian package: what it holds, and its program run from a scratch root as its unit runs
it, as an unprivileged user whose one capability is to bind ports below 1024."""

import io
import os
import pwd
import random
import re
import shutil
import socket
import subprocess
import tarfile
import tempfile
import unittest

import harness
from harness import Server, run

DEB = os.environ.get("QDV_DEB", "")
UNIT = "lib/systemd/system/quondorveld.service"
SETTINGS = "etc/default/quondorveld"


def unpacked():
    root = tempfile.mkdtemp(prefix="qdv-deb-")
    os.chmod(root, 0o755)
    subprocess.run(["dpkg-deb", "-x", DEB, root], check=True)
    return root


def unit_setting(root, name):
    with open(os.path.join(root, UNIT)) as unit:
        return re.search(r"^%s=(.*)$" % name, unit.read(), re.M).group(1)


class Contents(unittest.TestCase):
    def test_control_fields(self):
        fields = dict(line.split(": ", 1) for line in
                      run(["dpkg-deb", "-f", DEB]).stdout.splitlines()
                      if ": " in line and not line.startswith(" "))
        architecture = run(["dpkg", "--print-architecture"]).stdout.strip()
        self.assertEqual(os.path.basename(DEB), "quondorveld_%s_%s.deb" % (
            os.environ["QDV_VERSION"], architecture))
        self.assertEqual((fields["Package"], fields["Version"], fields["Architecture"]),
                         ("quondorveld", os.environ["QDV_VERSION"], architecture))
        self.assertRegex(fields["Depends"], r"^adduser, libc6 \(>= [\d.]+\)")
        control = run(["dpkg-deb", "-I", DEB]).stdout
        for script in ("postinst", "prerm", "postrm"):
            self.assertRegex(control, r"\*  %s +#!/bin/sh" % script)
        self.assertEqual(run(["dpkg-deb", "-I", DEB, "conffiles"]).stdout,
                         "/" + SETTINGS + "\n")

    def test_files_and_their_modes(self):
        tree = subprocess.run(["dpkg-deb", "--fsys-tarfile", DEB], capture_output=True,
                              check=True).stdout
        with tarfile.open(fileobj=io.BytesIO(tree)) as archive:
            files = {m.name[2:]: (m.mode, m.uname) for m in archive.getmembers() if m.isfile()}
        expected = {"usr/sbin/quondorveld": 0o755}
        for path in (SETTINGS, UNIT, "usr/share/man/man8/quondorveld.8.gz",
                     "usr/share/doc/quondorveld/copyright",
                     "usr/share/doc/quondorveld/changelog.gz",
                     "usr/share/lintian/overrides/quondorveld"):
            expected[path] = 0o644
        self.assertEqual(files, {path: (mode, "root") for path, mode in expected.items()})

    @unittest.skipUnless(shutil.which("lintian"), "lintian is not installed")
    def test_lintian_finds_nothing(self):
        result = run(["lintian", "-I", "--pedantic", DEB])
        self.assertEqual((result.returncode, result.stdout), (0, ""))

    @unittest.skipUnless(shutil.which("systemd-analyze"), "systemd-analyze is not installed")
    def test_the_unit_verifies(self):
        """The program and man page the unit names are looked for in the scratch root."""
        root = unpacked()
        self.addCleanup(shutil.rmtree, root)
        unit = os.path.join(root, "quondorveld.service")
        with open(os.path.join(root, UNIT)) as source, open(unit, "w") as copy:
            copy.write(source.read().replace("/usr/sbin/", root + "/usr/sbin/"))
        result = subprocess.run(["systemd-analyze", "verify", unit], capture_output=True,
                                text=True, env=dict(os.environ, MANPATH=root + "/usr/share/man"))
        self.assertEqual((result.returncode, result.stderr), (0, ""))


def low_free_port():
    """A free port below 1024, at random so that runs side by side seldom meet."""
    for port in random.sample(range(600, 1024), 100):
        if harness.port_is_free(port):
            return port
    raise unittest.SkipTest("no free port below 1024")


class Service(unittest.TestCase):
    """ExecStart and ExecReload of the installed unit, from the scratch root. Where this test
    may change users it serves as nobody with CAP_NET_BIND_SERVICE as its one capability, and
    its portmapper on a port below 1024; elsewhere as itself on high ports."""

    def setUp(self):
        self.root = unpacked()
        self.addCleanup(shutil.rmtree, self.root)
        self.assertEqual(unit_setting(self.root, "AmbientCapabilities"), "CAP_NET_BIND_SERVICE")
        self.unprivileged = os.geteuid() == 0 and shutil.which("setpriv") is not None
        self.ports = harness.free_ports(3)
        if self.unprivileged:
            self.ports[0] = low_free_port()
        self.folders = []
        for name in ("films", "music"):
            self.folders.append(os.path.join(self.root, name))
            os.mkdir(self.folders[-1])
            open(os.path.join(self.folders[-1], name + ".avi"), "w").close()

    def settle(self, folder):
        """The packaged settings file, with a share and this test's address and ports."""
        with open(os.path.join(self.root, SETTINGS), "a") as settings:
            settings.write("SHARE1=%s\nADDRESS=127.0.0.1\nPORTS=%s\n" % (
                folder, ",".join(map(str, self.ports))))

    def in_root(self, command):
        return [self.root + word if word.startswith("/") else word for word in command.split()]

    def test_serves_as_the_unit_runs_it_and_reloads_in_place(self):
        self.settle(self.folders[0])
        command = self.in_root(unit_setting(self.root, "ExecStart"))
        if self.unprivileged:
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                       "--inh-caps=+net_bind_service", "--ambient-caps=+net_bind_service"] + command
        server = Server({}, ports=self.ports, command=command)
        self.addCleanup(server.stop)
        self.assertTrue(server.started(), server.errors)
        self.assertIn("films.avi", run(["nfs-ls", server.url("/quonhd1")]).stdout)
        if self.unprivileged:
            with open("/proc/%d/status" % server.process.pid) as status:
                ids = dict(line.split(":\t", 1) for line in status)
            self.assertEqual(ids["Uid"].split()[0], str(pwd.getpwnam("nobody").pw_uid))
            self.assertEqual(int(ids["CapEff"], 16), 1 << 10)  # CAP_NET_BIND_SERVICE
        self.settle(self.folders[1])
        reload = unit_setting(self.root, "ExecReload").replace("$MAINPID",
                                                               str(server.process.pid))
        self.assertEqual(run(reload.split()).returncode, 0)
        self.assertTrue(server.wait_for("Quon sharing started. ", count=2), server.errors)
        self.assertIn("music.avi", run(["nfs-ls", server.url("/quonhd1")]).stdout)
        self.assertEqual(server.stop(), 0)

    def test_a_held_port_fails_the_start_for_good(self):
        """The unit restarts only a crash: a start that fails ends with status 1 and says why."""
        self.settle(self.folders[0])
        self.assertEqual(unit_setting(self.root, "Restart"), "on-abnormal")
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
            holder.bind(("127.0.0.1", self.ports[0]))
            result = run(self.in_root(unit_setting(self.root, "ExecStart")))
        self.assertEqual(result.returncode, 1)
        self.assertIn("quondorveld: another program holds port %d" % self.ports[0],
                      result.stderr)


if __name__ == "__main__":
    unittest.main()
