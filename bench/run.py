#!/usr/bin/env python3
"""Side-by-side benchmark: quondorveld (Release) against NFS-Ganesha with the same NFS client, on
loopback, over the same data. Builds what it runs, creates the data once, runs every figure
several times against each server, stops every process it started, and prints a table. It prints
figures; it asserts no time. Run it through bench/run.sh, which installs the packages first.

"First" listings: every server process is started afresh before a run's listings, so a folder's
first listing meets a server that has never seen it. The kernel's caches are warmed once by
walking the data locally, so that both servers find the same warm inode and page caches
(--drop-caches, as root, drops them before each server's listings instead)."""

import argparse
import json
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from harness import free_ports  # noqa: E402  (the end-to-end tests' choice of loopback ports)

BUILD = os.path.join(ROOT, "build", "bench")
WINDOWS_BUILD = os.path.join(ROOT, "build", "bench-windows")
OURS = os.path.join(BUILD, "daemon", "quondorveld")
CLIENT = os.path.join(BUILD, "bench", "client", "nfs_bench_client")
HANDLE_BENCH = os.path.join(BUILD, "bench", "handle_table_bench")
SHIM = os.path.join(BUILD, "rpcb_shim.so")
WINDOWS_EXE = os.path.join(WINDOWS_BUILD, "daemon", "quondorveld.exe")
WINE_EMU = os.path.join(ROOT, "cmake", "wine-emu.sh")
TMPFS = "/dev/shm"

MIB = 1 << 20
START_LIMIT = 60.0
COMMAND_LIMIT = 300.0
# The Windows build under Wine is informational: one run, and no figure waited for longer.
WINE_LIMIT = 120.0
# A figure whose one measurement takes longer than this is not measured again in later runs.
SLOW = 30.0

SIZES = {
    "full": {"read_mib": 1024, "write_mib": 256, "trees": (10000, 50000), "flats": (20000, 100000),
             "rate_seconds": 5.0},
    "quick": {"read_mib": 64, "write_mib": 16, "trees": (1000, 5000), "flats": (2000, 10000),
              "rate_seconds": 1.0},
}
FOLDER_SIZE = 100


def say(text):
    print(text, flush=True)


def number(n):
    return "{:,}".format(n)


def size_text(mib):
    return "%d GiB" % (mib // 1024) if mib % 1024 == 0 else "%d MiB" % mib


# ---------------------------------------------------------------------------------------------
# Building and data


def run_checked(command, **kwargs):
    subprocess.run(command, check=True, **kwargs)


def build(with_windows):
    say("== building the Release server, the benchmark client and the handle-table benchmark")
    run_checked(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                 "-DQDV_TESTS=OFF"], stdout=subprocess.DEVNULL)
    run_checked(["cmake", "--build", BUILD, "-j2", "--target", "quondorveld", "nfs_bench_client",
                 "handle_table_bench"], stdout=subprocess.DEVNULL)
    run_checked(["gcc", "-O2", "-shared", "-fPIC", "-o", SHIM,
                 os.path.join(ROOT, "bench", "peer", "rpcb_shim.c"), "-ldl"])
    if not with_windows:
        return
    missing = [tool for tool in ("x86_64-w64-mingw32-g++-posix", "wine")
               if shutil.which(tool) is None]
    if missing:
        say("== Windows build: skipped, %s not installed" % " and ".join(missing))
        return
    say("== building the Windows server (x86-64, Release) for Wine")
    run_checked(["cmake", "-S", ROOT, "-B", WINDOWS_BUILD, "-G", "Ninja",
                 "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(ROOT, "cmake", "mingw-w64-x86_64.cmake"),
                 "-DCMAKE_BUILD_TYPE=Release", "-DQDV_TESTS=OFF"], stdout=subprocess.DEVNULL)
    run_checked(["cmake", "--build", WINDOWS_BUILD, "-j2", "--target", "quondorveld"],
                stdout=subprocess.DEVNULL)


class Progress:
    """One line that counts up while files are made; a new line every 10 % when not a terminal."""

    def __init__(self, label, total):
        self.label, self.total, self.shown = label, total, -1
        self.tty = sys.stdout.isatty()

    def update(self, done):
        tenth = done * 10 // self.total
        if self.tty and (done % 1000 == 0 or done == self.total):
            sys.stdout.write("\r   %s: %s / %s" % (self.label, number(done), number(self.total)))
            sys.stdout.write("\n" if done == self.total else "")
            sys.stdout.flush()
        elif not self.tty and tenth != self.shown:
            self.shown = tenth
            say("   %s: %s / %s" % (self.label, number(done), number(self.total)))


def make_files(folder, names, progress, done):
    os.makedirs(folder, exist_ok=True)
    for name in names:
        os.close(os.open(os.path.join(folder, name), os.O_CREAT | os.O_WRONLY, 0o644))
        done += 1
        progress.update(done)
    return done


def track_names(first, count):
    return ["track-%06d.mp3" % i for i in range(first, first + count)]


def make_flat(path, count):
    make_files(path, track_names(0, count), Progress(os.path.basename(path), count), 0)


def make_tree(path, count):
    progress, done = Progress(os.path.basename(path), count), 0
    for folder in range(count // FOLDER_SIZE):
        done = make_files(os.path.join(path, "album-%04d" % folder),
                          track_names(folder * FOLDER_SIZE, FOLDER_SIZE), progress, done)


def make_random(path, mib):
    say("   %s: %d MiB of random bytes" % (os.path.basename(path), mib))
    with open(path + ".part", "wb") as out:
        for _ in range(mib):
            out.write(os.urandom(MIB))
    os.rename(path + ".part", path)


class Data:
    """The files both servers export, made once per size under $QDV_BENCH_DIR (/tmp/nfsbench)."""

    def __init__(self, base, kind):
        self.sizes = SIZES[kind]
        self.home = os.path.join(base, kind)
        self.export = os.path.join(self.home, "export")
        self.read_file = os.path.join(self.export, "read.bin")
        self.write_source = os.path.join(self.home, "write-source.bin")
        self.written = os.path.join(self.export, "written")

    def flat(self, count):
        return "flat-%d" % count

    def tree(self, count):
        return "tree-%d" % count

    def ensure(self):
        marker = os.path.join(self.home, "complete.json")
        wanted = json.dumps(self.sizes, sort_keys=True)
        if os.path.exists(marker) and open(marker).read() == wanted:
            say("== data: %s (made before)" % self.home)
            return
        say("== data: making %s (once)" % self.home)
        shutil.rmtree(self.home, ignore_errors=True)
        os.makedirs(self.written)
        make_random(self.read_file, self.sizes["read_mib"])
        make_random(self.write_source, self.sizes["write_mib"])
        for count in self.sizes["flats"]:
            make_flat(os.path.join(self.export, self.flat(count)), count)
        for count in self.sizes["trees"]:
            make_tree(os.path.join(self.export, self.tree(count)), count)
        with open(marker, "w") as out:
            out.write(wanted)

    def warm(self):
        """Brings every inode and the read file into the kernel's caches."""
        for folder, _, files in os.walk(self.export):
            for name in files:
                os.lstat(os.path.join(folder, name))
        self.warm_read_file()

    def warm_read_file(self):
        """Reads are measured from the page cache, also when the listings meet a cold one."""
        with open(self.read_file, "rb") as source:
            while source.read(8 * MIB):
                pass


def drop_caches():
    with open("/proc/sys/vm/drop_caches", "w") as control:
        control.write("3\n")


# ---------------------------------------------------------------------------------------------
# Servers


def cpu_seconds(pid):
    """utime + stime of the whole process (all its threads)."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
    except FileNotFoundError:
        raise RuntimeError("the server (process %d) has ended; see its log in the run folder" % pid)
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Server:
    """One server program on loopback; started and stopped by its process id."""

    name = ""
    log_name = ""
    limit = COMMAND_LIMIT

    def __init__(self, work, data):
        self.work, self.data = work, data
        self.process = None
        self.ports = None

    def command(self):
        raise NotImplementedError

    def environment(self):
        return None

    def ready(self):
        raise NotImplementedError

    def url(self, path):
        raise NotImplementedError

    def start(self):
        self.ports = free_ports(3)
        self.log = os.path.join(self.work, self.log_name)
        with open(self.log, "w") as log:
            self.process = subprocess.Popen(self.command(), stdin=subprocess.DEVNULL, stdout=log,
                                            stderr=subprocess.STDOUT, env=self.environment(),
                                            cwd=self.work)
        deadline = time.monotonic() + START_LIMIT
        while not self.ready():
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("%s did not start; see %s" % (self.name, self.log))
            time.sleep(0.05)

    def stop_signal(self):
        return signal.SIGTERM

    def stop(self):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.send_signal(self.stop_signal())
        try:
            self.process.wait(timeout=START_LIMIT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process = None

    def cpu(self):
        return cpu_seconds(self.process.pid)


class Quondorveld(Server):
    name = "quondorveld"
    log_name = "quondorveld.log"

    def share(self):
        return self.data.export

    def program(self):
        return [OURS]

    def command(self):
        ports = (self.ports[0], self.ports[1], self.ports[2])
        return self.program() + ["--share1", self.share(), "--address", "127.0.0.1",
                                 "--ports", "%d,%d,%d" % ports]

    def ready(self):
        with open(self.log, errors="replace") as log:
            return "Quon sharing started." in log.read()

    def url(self, path):
        return "nfs://127.0.0.1/quonhd1/%s?nfsport=%d&mountport=%d&version=3" % (
            path, self.ports[1], self.ports[2])


def pid_of(*words):
    """The process whose command line holds all the words, or None."""
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                text = cmdline.read().decode(errors="replace")
        except (OSError, ValueError):
            continue
        if entry.isdigit() and all(word in text for word in words):
            return int(entry)
    return None


class WindowsBuild(Quondorveld):
    """The Windows build under Wine. Wine runs the program in a process of its own beside the
    one started here (start.exe, which waits for it): that one's CPU time is the server's. Wine
    passes no SIGTERM on as a console signal, so the program is ended; the Wine session of its
    private prefix is ended at the close."""

    name = "quondorveld.exe (Wine)"
    log_name = "quondorveld-wine.log"
    limit = WINE_LIMIT
    worker = None

    def start(self):
        super().start()
        self.worker = pid_of("quondorveld.exe", "%d,%d,%d" % tuple(self.ports))
        if self.worker is None:
            raise RuntimeError("the Windows server's process was not found")

    def cpu(self):
        return cpu_seconds(self.worker)

    def stop(self):
        if self.worker is not None:
            try:
                os.kill(self.worker, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.worker = None
        super().stop()

    def share(self):
        return "Z:" + self.data.export.replace("/", "\\")

    def program(self):
        return [WINE_EMU, WINDOWS_EXE]

    def environment(self):
        env = dict(os.environ)
        env["WINEPREFIX"] = os.path.join(WINDOWS_BUILD, "wineprefix")
        return env

    def stop_signal(self):
        return signal.SIGKILL

    def end_session(self):
        subprocess.run(["wineserver", "-k"], env=self.environment(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=START_LIMIT)


class Ganesha(Server):
    name = "NFS-Ganesha"
    log_name = "ganesha.out"

    def config(self):
        with open(os.path.join(ROOT, "bench", "peer", "ganesha.conf")) as template:
            text = template.read()
        for word, value in (("@NFS_PORT@", self.ports[1]), ("@MOUNT_PORT@", self.ports[2]),
                            ("@EXPORT@", self.data.export), ("@STATE@", self.work)):
            text = text.replace(word, str(value))
        path = os.path.join(self.work, "ganesha.conf")
        with open(path, "w") as out:
            out.write(text)
        return path

    def command(self):
        return ["ganesha.nfsd", "-F", "-f", self.config(),
                "-L", os.path.join(self.work, "ganesha.log"),
                "-p", os.path.join(self.work, "ganesha.pid")]

    def environment(self):
        env = dict(os.environ)
        env["LD_PRELOAD"] = SHIM
        env["BLKID_FILE"] = os.path.join(self.work, "blkid.tab")
        return env

    def ready(self):
        result = subprocess.run(["nfs-ls", self.url("")], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=START_LIMIT)
        return result.returncode == 0

    def url(self, path):
        return "nfs://127.0.0.1%s/%s?nfsport=%d&mountport=%d&version=3" % (
            self.data.export, path, self.ports[1], self.ports[2])


# ---------------------------------------------------------------------------------------------
# Figures: each measures one thing against one running server and returns (value, problem)

TIMED_OUT = "stopped: it took too long"
NOT_RUN = "not run: the figure it follows failed"


def timed(command, limit):
    start = time.monotonic()
    try:
        result = subprocess.run(command, capture_output=True, text=True, timeout=limit)
    except subprocess.TimeoutExpired:
        return limit, "", TIMED_OUT
    elapsed = time.monotonic() - start
    problem = None if result.returncode == 0 else (
        "exit %d: %s" % (result.returncode, result.stderr.strip()[:200]))
    return elapsed, result.stdout, problem


def listing(path, expected, recursive):
    def measure(server, data, first_run):
        command = ["nfs-ls"] + (["-R"] if recursive else []) + [server.url(path)]
        elapsed, output, problem = timed(command, server.limit)
        files = sum(1 for line in output.splitlines() if line.startswith("-"))
        if problem is None and files != expected:
            problem = "listed %d files, not %d" % (files, expected)
        return elapsed, problem
    return measure


def read_into_tmpfs(server, data, first_run):
    copy = os.path.join(TMPFS, "nfsbench-copy-%d.bin" % os.getpid())
    try:
        elapsed, _, problem = timed(["nfs-cp", server.url("read.bin"), copy], server.limit)
        if problem is None and first_run and not same_bytes(copy, data.read_file):
            problem = "the copy differs from the file"
        return os.path.getsize(data.read_file) / elapsed / 1e6, problem
    finally:
        if os.path.exists(copy):
            os.remove(copy)


def read_to_nowhere(server, data, first_run):
    _, output, problem = timed([CLIENT, "read", server.url("read.bin")], server.limit)
    if problem is not None:
        return None, problem
    fields = dict(item.split("=") for item in output.split())
    if int(fields["bytes"]) != os.path.getsize(data.read_file):
        return None, "read %s bytes" % fields["bytes"]
    return float(fields["bytes_per_second"]) / 1e6, None


def write_file(server, data, first_run):
    target = os.path.join(data.written, "copy.bin")
    if os.path.exists(target):
        os.remove(target)
    elapsed, _, problem = timed(["nfs-cp", data.write_source, server.url("written/copy.bin")],
                                server.limit)
    if problem is None and first_run and not same_bytes(target, data.write_source):
        problem = "the written file differs from its source"
    return os.path.getsize(data.write_source) / elapsed / 1e6, problem


def call_rate(mode):
    def measure(server, data, first_run):
        seconds = str(data.sizes["rate_seconds"])
        _, output, problem = timed([CLIENT, mode, server.url("read.bin"), seconds], server.limit)
        if problem is not None:
            return None, problem
        return float(dict(item.split("=") for item in output.split())["per_second"]), None
    return measure


def same_bytes(one, other):
    return subprocess.run(["cmp", "-s", one, other]).returncode == 0


class Figure:
    """kind "s": seconds, less is better; "MB/s" and "/s": rates, more is better."""

    def __init__(self, group, label, kind, measure, per_gib=False, wine=True, after=None):
        self.group, self.label, self.kind, self.measure = group, label, kind, measure
        # after: the figure that must have succeeded first (a listing "again" needs its first)
        self.per_gib, self.wine, self.after = per_gib, wine, after


def figures(data):
    s = data.sizes
    flat, big = s["flats"]
    small_tree, large_tree = s["trees"]
    read, write = size_text(s["read_mib"]), size_text(s["write_mib"])
    flat_label = "nfs-ls flat folder of %s files, %s"
    tree_label = "nfs-ls -R, %s files in folders of %d, %s"
    result = []
    for group, label, path, count, recursive in (
            ("ls-flat", flat_label % (number(flat), "%s"), data.flat(flat), flat, False),
            ("ls-tree", tree_label % (number(small_tree), FOLDER_SIZE, "%s"),
             data.tree(small_tree), small_tree, True),
            ("ls-tree", tree_label % (number(large_tree), FOLDER_SIZE, "%s"),
             data.tree(large_tree), large_tree, True)):
        first = Figure(group, label % "first", "s", listing(path, count, recursive))
        result += [first, Figure(group, label % "again", "s", listing(path, count, recursive),
                                 after=first.label)]
    result.insert(2, Figure("ls-flat-big", flat_label % (number(big), "first"), "s",
                            listing(data.flat(big), big, False), wine=False))
    return result + [
        Figure("read-tmpfs", "read %s into a tmpfs file (nfs-cp)" % read, "MB/s",
               read_into_tmpfs),
        Figure("read-null", "read %s to nowhere (bench client; CPU s per GiB)" % read, "MB/s",
               read_to_nowhere, per_gib=True),
        Figure("write", "write %s (nfs-cp)" % write, "MB/s", write_file, wine=False),
        Figure("rate", "GETATTR (calls/s)", "/s", call_rate("getattr"), wine=False),
        Figure("rate", "LOOKUP + GETATTR by name (pairs/s)", "/s", call_rate("lookup"),
               wine=False),
    ]


GROUPS = ["ls-flat", "ls-flat-big", "ls-tree", "read-tmpfs", "read-null", "write", "rate",
          "handles", "wine"]


# ---------------------------------------------------------------------------------------------
# Running and reporting


class Results:
    def __init__(self):
        self.values = {}    # (figure label, server name) -> [values]
        self.cpu = {}       # (figure label, server name) -> [CPU seconds]
        self.problems = {}  # (figure label, server name) -> text
        self.slow = set()   # (figure label, server name)

    def add(self, figure, server, value, cpu, elapsed):
        key = (figure.label, server.name)
        self.values.setdefault(key, []).append(value)
        self.cpu.setdefault(key, []).append(cpu)
        if elapsed > SLOW:
            self.slow.add(key)


def measure_on(server, figure, data, results, first_run):
    key = (figure.label, server.name)
    if key in results.slow or key in results.problems:
        return
    if figure.after is not None and (figure.after, server.name) in results.problems:
        results.problems[key] = NOT_RUN
        return
    # Once its first is no longer measured, a listing "again" would be a first one.
    if (figure.after, server.name) in results.slow and key in results.values:
        return
    before, start = server.cpu(), time.monotonic()
    value, problem = figure.measure(server, data, first_run)
    elapsed, cpu = time.monotonic() - start, server.cpu() - before
    if problem is not None:
        results.problems[key] = problem
        say("   %-26s %s: FAILED: %s" % (server.name, figure.label, problem))
        return
    if figure.per_gib:
        cpu /= os.path.getsize(data.read_file) / (1 << 30)
    results.add(figure, server, value, cpu, elapsed)
    say("   %-26s %-60s %10.3f %-5s CPU %.2f s" % (server.name, figure.label, value, figure.kind,
                                                   cpu))


def run_server(server, chosen, data, results, run, drop):
    server.start()
    try:
        if drop:
            drop_caches()
            data.warm_read_file()
        for figure in chosen:
            if figure.wine or not isinstance(server, WindowsBuild):
                measure_on(server, figure, data, results, run == 0)
    finally:
        server.stop()


def stats_text(values, kind):
    if not values:
        return "-"
    digits = 2 if kind == "s" else 0
    form = "%%.%df" % digits
    middle = statistics.median(values)
    if len(values) == 1:
        return (form % middle) + " (1 run)"
    return "%s [%s–%s]" % (form % middle, form % min(values), form % max(values))


def ratio_text(ours, theirs, kind):
    if not ours or not theirs:
        return "-"
    a, b = statistics.median(ours), statistics.median(theirs)
    return "%.2f×" % ((b / a) if kind == "s" else (a / b))


def cell(results, figure, server):
    key = (figure.label, server.name)
    if results.problems.get(key) == TIMED_OUT:
        return "over %d s" % server.limit, "-"
    if results.problems.get(key) == NOT_RUN:
        return "not run", "-"
    if key in results.problems:
        return "failed", "-"
    cpu = results.cpu.get(key)
    return (stats_text(results.values.get(key), figure.kind),
            "%.2f" % statistics.median(cpu) if cpu else "-")


def table(results, chosen, servers):
    names = [s.name for s in servers]
    head = ["Figure", "unit"]
    for name in names[:2]:
        head += [name + " median [min–max]", "CPU s"]
    head.append("ours / Ganesha")
    if len(names) > 2:
        head += [names[2] + ", 1 run", "CPU s"]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for figure in chosen:
        row = [figure.label, figure.kind]
        for server in servers[:2]:
            row += list(cell(results, figure, server))
        row.append(ratio_text(results.values.get((figure.label, names[0])),
                              results.values.get((figure.label, names[1])), figure.kind))
        if len(names) > 2:
            row += list(cell(results, figure, servers[2])) if figure.wine else ["not run", "-"]
        lines.append("| " + " | ".join(row) + " |")
    return lines


def handle_table(quick):
    say("== handle-table lookups (Google Benchmark)")
    result = subprocess.run([HANDLE_BENCH, "--benchmark_format=json",
                             "--benchmark_min_time=%s" % ("0.05" if quick else "0.5")],
                            capture_output=True, text=True, timeout=COMMAND_LIMIT, check=True)
    rows = {}
    for bench in json.loads(result.stdout)["benchmarks"]:
        name, entries = bench["name"].split("/")
        rows.setdefault(name, {})[int(entries)] = bench["real_time"]
    lines = ["| Handle table, ns per lookup | 10 entries | 10^4 entries | 10^6 entries |",
             "|---|---|---|---|"]
    for name, times in rows.items():
        lines.append("| %s | %s |" % (name, " | ".join("%.1f" % times[n] for n in sorted(times))))
    return lines


def machine(load_start):
    model = "unknown"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    load_end = open("/proc/loadavg").read().split()[:3]
    return ["Machine: %s, %d cores, Linux %s; load average (1, 5, 15 min) %s at the start, %s at "
            "the end" % (model, os.cpu_count(), platform.release(), " ".join(load_start),
                         " ".join(load_end))]


def versions():
    def package(name):
        result = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], capture_output=True,
                                text=True)
        return result.stdout or "?"
    return ["Client: libnfs-utils %s (NFSv3 over TCP, loopback); peer: nfs-ganesha %s" % (
        package("libnfs-utils"), package("nfs-ganesha"))]


def parse():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=None, help="runs of each figure (default 5)")
    parser.add_argument("--quick", action="store_true", help="one run over small data")
    parser.add_argument("--only", nargs="+", choices=GROUPS, metavar="FIGURE",
                        help="only these figures: " + ", ".join(GROUPS))
    parser.add_argument("--drop-caches", action="store_true",
                        help="drop the kernel's caches before each server's listings (root)")
    args = parser.parse_args()
    args.runs = args.runs or (1 if args.quick else 5)
    if args.drop_caches and os.geteuid() != 0:
        parser.error("--drop-caches needs root")
    return args


def stop_on_signals():
    """Ctrl+C, SIGTERM and SIGHUP end the run through the same clean-up (a shell that started
    this in the background may have left SIGINT ignored)."""
    def stop(number, _frame):
        raise SystemExit("stopped by signal %d" % number)
    signal.signal(signal.SIGINT, signal.default_int_handler)
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, stop)


def main():
    args = parse()
    stop_on_signals()
    started = time.monotonic()
    load_start = open("/proc/loadavg").read().split()[:3]
    groups = set(args.only or GROUPS)
    with_windows = "wine" in groups
    build(with_windows)
    data = Data(os.environ.get("QDV_BENCH_DIR", "/tmp/nfsbench"), "quick" if args.quick else "full")
    data.ensure()
    work = os.path.join(os.path.dirname(data.home), "run")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    chosen = [f for f in figures(data) if f.group in groups]
    servers = [Quondorveld(work, data), Ganesha(work, data)]
    if with_windows and os.path.exists(WINDOWS_EXE):
        servers.append(WindowsBuild(work, data))
    elif with_windows:
        say("== Windows build under Wine: skipped (no %s)" % os.path.relpath(WINDOWS_EXE, ROOT))
    results = Results()
    try:
        if chosen:
            say("== warming the kernel's caches" if not args.drop_caches else
                "== the kernel's caches are dropped before each server's listings")
            if not args.drop_caches:
                data.warm()
        for run in range(args.runs if chosen else 0):
            say("== run %d of %d" % (run + 1, args.runs))
            # Each run changes which server goes first.
            order = [servers[(i + run) % 2] for i in range(2)] + (servers[2:] if run == 0 else [])
            for server in order:
                run_server(server, chosen, data, results, run, args.drop_caches)
        report = ["", "Runs: %d of each figure (a figure slower than %d s: once)%s" % (
            args.runs, SLOW, "; the Windows build once, each figure stopped after %d s" % WINE_LIMIT
            if len(servers) > 2 else ""),
                  "First listing: of a folder the server process has not listed since it was "
                  "started afresh for the run; the kernel's caches %s" % (
                      "dropped after each start" if args.drop_caches else
                      "warm for both (the data walked locally first)")] + versions()
        if chosen:
            report += [""] + table(results, chosen, servers)
        if "handles" in groups:
            report += [""] + handle_table(args.quick)
    finally:
        for server in servers:
            server.stop()
        if any(isinstance(s, WindowsBuild) for s in servers):
            servers[-1].end_session()
    report += [""] + machine(load_start) + [
        "Took %.0f s; data in %s" % (time.monotonic() - started, data.home)]
    say("\n".join(report))
    with open(os.path.join(work, "table.md"), "w") as out:
        out.write("\n".join(report) + "\n")


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit("bench: interrupted; the servers it started are stopped")
