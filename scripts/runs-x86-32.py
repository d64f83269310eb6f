#!/usr/bin/env python3
"""Exits 0 when this machine runs 32-bit x86 Linux programs, which Wine's 32-bit half (wine32)
is. Some kernels have no 32-bit support; there wine32 cannot start, and because Debian's wine
goes through it first once it is installed, 64-bit Windows programs would stop running too.
Needs nothing installed: it writes the smallest static 32-bit program, exit(0), and runs it."""
import os
import struct
import subprocess
import sys
import tempfile

BASE = 0x08048000
HEADER_SIZE = 52
SEGMENT_HEADER_SIZE = 32
# mov eax, 1 (exit); xor ebx, ebx (status 0); int 0x80
CODE = bytes([0xB8, 1, 0, 0, 0, 0x31, 0xDB, 0xCD, 0x80])


def program():
    size = HEADER_SIZE + SEGMENT_HEADER_SIZE + len(CODE)
    ident = b"\x7fELF" + bytes([1, 1, 1]) + bytes(9)  # 32-bit, little-endian, version 1
    header = ident + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, BASE + size - len(CODE),
                                 HEADER_SIZE, 0, 0, HEADER_SIZE, SEGMENT_HEADER_SIZE, 1, 40, 0, 0)
    segment = struct.pack("<IIIIIIII", 1, 0, BASE, BASE, size, size, 5, 0x1000)  # load, r-x
    return header + segment + CODE


def main():
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "exit0")
        with open(path, "wb") as out:
            out.write(program())
        os.chmod(path, 0o755)
        try:
            return subprocess.run([path], timeout=10).returncode
        except OSError:
            return 1


if __name__ == "__main__":
    sys.exit(main())
