"""Drives a quondorveld process (the Linux build, or the Windows build under Wine) on loopback
for the end-to-end tests, and runs real NFS clients against it. Every wait is bounded."""

import os
import queue
import random
import signal
import socket
import subprocess
import threading
import time

SERVER = os.environ.get("QDV_SERVER", "")
PROBE = os.environ.get("QDV_PROBE", "")
# Set when SERVER is a Windows program: the command that runs it under Wine.
WINE = os.environ.get("QDV_WINE_EMU", "")

START_LIMIT = 60.0
CLIENT_LIMIT = 120.0


def under_wine():
    return bool(WINE)


def host_path(path):
    """A Linux path as the server spells it: Wine sees the Linux root as drive Z:."""
    return "Z:" + path.replace("/", "\\") if under_wine() else path


def port_is_free(port):
    for kind in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
        with socket.socket(socket.AF_INET, kind) as s:
            try:
                s.bind(("127.0.0.1", port))
            except OSError:
                return False
    return True


def free_ports(count):
    """Free ports from below the ephemeral ranges (32768 on Linux, 49152 on Windows), where no
    client socket or bind to port 0 can take them before the server binds them; tests running
    side by side pick at random."""
    ports = []
    for _ in range(1000):
        port = random.randrange(20000, 32000)
        if port not in ports and port_is_free(port):
            ports.append(port)
        if len(ports) == count:
            return ports
    raise RuntimeError("no free ports")


class Server:
    """One quondorveld run. Lines it prints are collected as they come."""

    def __init__(self, shares, ports=None, address="127.0.0.1", extra=(), env=None,
                 command=None):
        """`command`, when given, is run as it is: it must serve on `ports`."""
        self.ports = ports or free_ports(3)
        args = []
        for number, folder in sorted(shares.items()):
            args += ["--share%d" % number, host_path(folder)]
        args += ["--address", address, "--ports", ",".join(str(p) for p in self.ports)]
        args += list(extra)
        command = command or ([WINE, SERVER] if under_wine() else [SERVER]) + args
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True,
                                        env=dict(os.environ, **(env or {})))
        self.lines = queue.Queue()
        self.seen = []
        self.errors = []
        self.readers = [threading.Thread(target=self._collect, daemon=True),
                        threading.Thread(target=self._collect_errors, daemon=True)]
        for reader in self.readers:
            reader.start()

    @property
    def portmap_port(self):
        return self.ports[0]

    @property
    def nfs_port(self):
        return self.ports[1]

    @property
    def mount_port(self):
        return self.ports[2]

    def _collect(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\r\n"))

    def _collect_errors(self):
        for line in self.process.stderr:
            self.errors.append(line.rstrip("\r\n"))

    def wait_for(self, text, limit=START_LIMIT, count=1):
        """Waits until a line equal to `text` has been printed `count` times; False when the
        process ends or the time runs out first."""
        deadline = time.monotonic() + limit
        while self.seen.count(text) < count:
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            try:
                self.seen.append(self.lines.get(timeout=min(left, 0.5)))
            except queue.Empty:
                if self.process.poll() is not None and self.lines.empty():
                    return False
        return True

    def wait_for_error(self, text, limit=START_LIMIT):
        """Waits until a line on standard error starts with `text`; False when the time runs out
        first."""
        deadline = time.monotonic() + limit
        while not any(line.startswith(text) for line in self.errors):
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True

    def started(self):
        return self.wait_for("Quon sharing started. ")

    def url(self, path, version=3):
        return "nfs://127.0.0.1%s?nfsport=%d&mountport=%d&version=%d" % (
            path, self.nfs_port, self.mount_port, version)

    def stop(self):
        """Asks the server to stop and returns its exit code. Wine does not pass SIGTERM on to
        the program as a console signal, so there the process is simply ended."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL if under_wine() else signal.SIGTERM)
        try:
            code = self.process.wait(timeout=START_LIMIT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = self.process.wait()
        for reader in self.readers:
            reader.join(timeout=START_LIMIT)
        self.process.stdout.close()
        self.process.stderr.close()
        return code

    def drain(self):
        """Every line printed so far."""
        while True:
            try:
                self.seen.append(self.lines.get_nowait())
            except queue.Empty:
                return self.seen


def run(command, stdin=None, limit=CLIENT_LIMIT):
    return subprocess.run(command, input=stdin, capture_output=True, text=True, timeout=limit)


def probe(server, export, *args, stdin=None):
    return run([PROBE, "127.0.0.1", str(server.mount_port), str(server.nfs_port), export] +
               list(args), stdin=stdin)
