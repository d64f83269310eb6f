#!/usr/bin/env python3
"""Checks that a 32-bit Windows program or DLL loads on Windows XP: every function it imports must
be on the list of functions XP's system DLLs export. Given a .def file, it also checks that a DLL
exports exactly the names listed there, undecorated. The tables are read with mingw's objdump.

usage: check_imports.py --objdump OBJDUMP --allowed LIST [--exports DEF] BINARY
"""
import argparse
import os
import re
import subprocess
import sys

IMPORT_DLL = re.compile(r"^\tDLL Name: (\S+)")
IMPORT_FUNCTION = re.compile(r"^\t[0-9a-f]+\t\s*\d+\s+(\S+)")
EXPORT_NAMES_TITLE = "[Ordinal/Name Pointer] Table"
EXPORT_NAME = re.compile(r"^\t\[\s*\d+\] (\S+)$")


def read_allowed(path):
    """The list: "[DLL]" lines open a section, each other line names one function of it."""
    allowed = set()
    dll = None
    with open(path) as lines:
        for line in lines:
            line = line.split("#", 1)[0].strip()
            if line.startswith("[") and line.endswith("]"):
                dll = line[1:-1].lower()
            elif line:
                allowed.add(f"{dll}!{line}")
    return allowed


def read_def_exports(path):
    with open(path) as lines:
        words = [line.split(";", 1)[0].strip() for line in lines]
    return set(words[words.index("EXPORTS") + 1:]) - {""}


def read_tables(objdump, binary):
    """The file format, the imports as "dll!function" (DLL names in lower case) and the export
    names."""
    text = subprocess.run([objdump, "-p", binary], check=True, capture_output=True,
                          text=True).stdout
    file_format = re.search(r"file format (\S+)", text).group(1)
    imports, exports = [], set()
    dll = None
    in_export_names = False
    for line in text.splitlines():
        if match := IMPORT_DLL.match(line):
            dll = match.group(1).lower()
        elif dll and (match := IMPORT_FUNCTION.match(line)):
            imports.append(f"{dll}!{match.group(1)}")
        elif line.startswith(EXPORT_NAMES_TITLE):
            in_export_names = True
        elif in_export_names and (match := EXPORT_NAME.match(line)):
            exports.add(match.group(1))
        elif not line.strip():
            dll = None
            in_export_names = False
    return file_format, imports, exports


def problems(args):
    file_format, imports, exports = read_tables(args.objdump, args.binary)
    if file_format != "pei-i386":
        yield f"is {file_format}, not a 32-bit Windows binary (pei-i386)"
    allowed = read_allowed(args.allowed)
    missing = [name for name in imports if name not in allowed]
    if missing:
        yield "imports what Windows XP lacks: " + " ".join(missing)
    if args.exports:
        expected = read_def_exports(args.exports)
        for verb, names in ("lacks", expected - exports), ("adds", exports - expected):
            if names:
                yield f"{verb} exports against {os.path.basename(args.exports)}: " + \
                    " ".join(sorted(names))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--allowed", required=True)
    parser.add_argument("--exports")
    parser.add_argument("binary")
    args = parser.parse_args()
    found = list(problems(args))
    name = os.path.basename(args.binary)
    for problem in found:
        print(f"{name} {problem}")
    if not found:
        print(f"{name}: every import is on {os.path.basename(args.allowed)}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
