#!/usr/bin/env python3
"""run-until-exit.py PROGRAM [ARG...]: runs PROGRAM in this very process, so that whoever started
us can signal and wait for it as before, with its output passed on by a watcher process that:

- ends our share of the output as soon as PROGRAM has ended, even while processes that PROGRAM
  started (a Wine session, a desktop process) still hold PROGRAM's pipes: ctest waits for the
  end of a test's output, and would otherwise wait for theirs;
- ends PROGRAM when it has printed GoogleTest's final summary and not exited within LINGER
  seconds, saying so, so that a test stuck after its last result fails naming itself instead of
  running into its time-out.
"""
import os
import re
import select
import signal
import sys
import time

LINGER = 10.0
# What may still arrive once PROGRAM has ended: what it wrote just before.
DRAIN = 0.5
SUMMARY = re.compile(rb"^\[==========\] .* ran\.", re.MULTILINE)


def write_all(fd, data):
    while data:
        data = data[os.write(fd, data):]


class Watcher:
    def __init__(self, program_pid, name, streams):
        self.program_pid = program_pid
        self.name = name
        self.streams = dict(streams)  # read end -> where it goes
        self.tail = b""
        self.summary_at = None

    def forward(self, fd):
        data = os.read(fd, 65536)
        if not data:
            del self.streams[fd]
            return
        write_all(self.streams[fd], data)
        if self.summary_at is None:
            self.tail = (self.tail + data)[-4096:]
            if SUMMARY.search(self.tail):
                self.summary_at = time.monotonic()

    def end_lingering_program(self):
        if self.summary_at is None or time.monotonic() - self.summary_at < LINGER:
            return
        message = ("run-until-exit: %s printed its last result %.0f s ago and has not exited; "
                   "ending it\n" % (self.name, LINGER))
        write_all(2, message.encode())
        os.kill(self.program_pid, signal.SIGKILL)
        self.summary_at = float("inf")

    def run(self, ended):
        while True:
            waits = list(self.streams) + [ended]
            ready, _, _ = select.select(waits, [], [], 1.0)
            for fd in ready:
                if fd == ended:
                    self.drain()
                    return
                self.forward(fd)
            self.end_lingering_program()

    def drain(self):
        deadline = time.monotonic() + DRAIN
        while self.streams and time.monotonic() < deadline:
            ready, _, _ = select.select(list(self.streams), [], [], deadline - time.monotonic())
            for fd in ready:
                self.forward(fd)


def become_watcher(program_pid, name, pipes, ready):
    """In a grandchild of the program's process, so that the program never has a child of ours
    to reap."""
    if os.fork() != 0:
        os._exit(0)
    ended = os.pidfd_open(program_pid)
    quiet = os.open(os.devnull, os.O_RDONLY)
    os.dup2(quiet, 0)
    os.close(quiet)
    for read_end, write_end in pipes:
        os.close(write_end)
    os.write(ready, b"x")
    os.close(ready)
    Watcher(program_pid, name, {pipes[0][0]: 1, pipes[1][0]: 2}).run(ended)
    os._exit(0)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: run-until-exit.py PROGRAM [ARG...]")
    program = sys.argv[1:]
    pipes = [os.pipe(), os.pipe()]
    ready_read, ready_write = os.pipe()
    program_pid = os.getpid()
    child = os.fork()
    if child == 0:
        os.close(ready_read)
        name = " ".join(os.path.basename(part) for part in program[:2])
        become_watcher(program_pid, name, pipes, ready_write)
    os.waitpid(child, 0)
    os.close(ready_write)
    if os.read(ready_read, 1) != b"x":
        sys.exit("run-until-exit: the watcher did not start")
    os.close(ready_read)
    for target, (read_end, write_end) in zip((1, 2), pipes):
        os.dup2(write_end, target)
        os.close(read_end)
        os.close(write_end)
    try:
        os.execvp(program[0], program)
    except OSError as error:
        sys.exit("run-until-exit: cannot run %s: %s" % (program[0], error))


if __name__ == "__main__":
    main()
