#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora: a valid call for every procedure of every program and
version the server serves (portmapper 2, and rpcbind 3 and 4, which it refuses; MOUNT 1 and 3;
NFS 2 and 3), one datagram per file for fuzz_udp_call and as TCP records for fuzz_tcp_stream,
plus a few multi-call and fragmented streams. Handles name the entries FuzzServer makes: 0 the
share, 1 "film.avi", 2 "folder", 3 "folder/clip.mpg", with the marker STAMP for the table's stamp. Run it from anywhere; it rewrites
corpus/fuzz_udp_call and corpus/fuzz_tcp_stream beside it."""

import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def word(*values):
    return b"".join(struct.pack(">I", v & 0xFFFFFFFF) for v in values)


def hyper(value):
    return struct.pack(">Q", value)


def opaque(data):
    if isinstance(data, str):
        data = data.encode()
    return word(len(data)) + data + b"\0" * ((4 - len(data) % 4) % 4)


# Bytes 4 to 7 of a handle hold the handle table's stamp, which differs from run to run; the
# seeds carry this marker there, and FuzzServer puts the stamp of the day in its place.
STAMP = b"STMP"


def fh3(index):
    return opaque(struct.pack("<I", index) + STAMP + b"\0" * 56)


def fh2(index):
    return struct.pack("<I", index) + STAMP + b"\0" * 24


SHARE, FILM, FOLDER, CLIP = 0, 1, 2, 3
UNIX_CRED = word(1) + opaque(word(0) + opaque("player") + word(0, 0, 1, 0))


def call(xid, program, version, procedure, args=b"", credential=b""):
    return (word(xid, 0, 2, program, version, procedure) + (credential or word(0) + opaque(b"")) +
            word(0) + opaque(b"") + args)


SATTR3_NONE = word(0, 0, 0, 0, 0, 0)
SATTR3_SOME = word(1, 0o644, 0, 0, 1) + hyper(10) + word(1, 2) + word(1000, 0)
SATTR2_NONE = word(*[0xFFFFFFFF] * 8)
MAPPING = word(100005, 3, 17, 0)

NFS3 = [
    ("null", b""),
    ("getattr", fh3(FILM)),
    ("setattr", fh3(FILM) + SATTR3_SOME + word(0)),
    ("lookup", fh3(SHARE) + opaque("film.avi")),
    ("access", fh3(FILM) + word(0x3F)),
    ("readlink", fh3(FILM)),
    ("read", fh3(FILM) + hyper(100) + word(512)),
    ("write", fh3(FILM) + hyper(5) + word(8) + word(2) + opaque(b"abcdefgh")),
    ("create", fh3(FOLDER) + opaque("new.txt") + word(0) + SATTR3_NONE),
    ("mkdir", fh3(SHARE) + opaque("sub") + SATTR3_NONE),
    ("symlink", fh3(SHARE) + opaque("link") + SATTR3_NONE + opaque("film.avi")),
    ("mknod", fh3(SHARE) + opaque("node") + word(1)),
    ("remove", fh3(FOLDER) + opaque("clip.mpg")),
    ("rmdir", fh3(SHARE) + opaque("folder")),
    ("rename", fh3(SHARE) + opaque("film.avi") + fh3(FOLDER) + opaque("moved.avi")),
    ("link", fh3(FILM) + fh3(SHARE) + opaque("second")),
    ("readdir", fh3(SHARE) + hyper(0) + hyper(0) + word(1024)),
    ("readdirplus", fh3(SHARE) + hyper(0) + hyper(0) + word(512) + word(4096)),
    ("fsstat", fh3(SHARE)),
    ("fsinfo", fh3(SHARE)),
    ("pathconf", fh3(SHARE)),
    ("commit", fh3(FILM) + hyper(0) + word(0)),
]

NFS2 = [
    ("null", b""),
    ("getattr", fh2(FILM)),
    ("setattr", fh2(FILM) + word(0o644, 0xFFFFFFFF, 0xFFFFFFFF, 20) + word(*[0xFFFFFFFF] * 4)),
    ("root", b""),
    ("lookup", fh2(FOLDER) + opaque("clip.mpg")),
    ("readlink", fh2(FILM)),
    ("read", fh2(FILM) + word(10, 100, 0)),
    ("writecache", b""),
    ("write", fh2(FILM) + word(0, 4, 0) + opaque(b"data")),
    ("create", fh2(SHARE) + opaque("made.txt") + SATTR2_NONE),
    ("remove", fh2(FOLDER) + opaque("clip.mpg")),
    ("rename", fh2(SHARE) + opaque("film.avi") + fh2(SHARE) + opaque("film2.avi")),
    ("link", fh2(FILM) + fh2(SHARE) + opaque("again")),
    ("symlink", fh2(SHARE) + opaque("sym") + opaque("film.avi") + SATTR2_NONE),
    ("mkdir", fh2(SHARE) + opaque("dir2") + SATTR2_NONE),
    ("rmdir", fh2(SHARE) + opaque("folder")),
    ("readdir", fh2(SHARE) + word(0, 1024)),
    ("statfs", fh2(SHARE)),
]

MOUNT = [
    ("null", b""),
    ("mnt", opaque("/quonhd1")),
    ("dump", b""),
    ("umnt", opaque("/quonhd1")),
    ("umntall", b""),
    ("export", b""),
]

PORTMAP = [
    ("null", b""),
    ("set", MAPPING),
    ("unset", MAPPING),
    ("getport", MAPPING),
    ("dump", b""),
    ("callit", word(100003, 3, 0) + opaque(b"")),
]


def calls():
    xid = 1
    for program, version, table, prefix in ((100003, 3, NFS3, "nfs3"), (100003, 2, NFS2, "nfs2"),
                                            (100005, 3, MOUNT, "mount3"),
                                            (100005, 1, MOUNT, "mount1"),
                                            (100000, 2, PORTMAP, "pmap2")):
        for procedure, (name, args) in enumerate(table):
            credential = UNIX_CRED if procedure % 2 else b""
            yield "%s-%02d-%s" % (prefix, procedure, name), call(xid, program, version, procedure,
                                                                  args, credential)
            xid += 1
    rpcb = word(100005, 3) + opaque("udp") + opaque("") + opaque("")
    yield "rpcb4-03-getaddr", call(xid, 100000, 4, 3, rpcb)
    yield "rpcb3-03-getaddr", call(xid + 1, 100000, 3, 3, rpcb)


def record(message):
    return word(0x80000000 | len(message)) + message


def streams(every):
    yield "stream-mount-lookup-read", b"".join(
        record(every[name]) for name in ("mount3-01-mnt", "nfs3-03-lookup", "nfs3-06-read",
                                         "nfs3-16-readdir", "mount3-03-umnt"))
    yield "stream-write-commit-read", b"".join(
        record(every[name]) for name in ("nfs3-07-write", "nfs3-21-commit", "nfs3-06-read"))
    yield "stream-v2-listing", b"".join(
        record(every[name]) for name in ("nfs2-04-lookup", "nfs2-16-readdir", "nfs2-06-read"))
    getport = every["pmap2-03-getport"]
    yield "stream-fragments", word(12) + getport[:12] + word(0x80000000 | (len(getport) - 12)) + \
        getport[12:]


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    every = dict(calls())
    udp = os.path.join(HERE, "corpus", "fuzz_udp_call")
    tcp = os.path.join(HERE, "corpus", "fuzz_tcp_stream")
    for folder in (udp, tcp):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    for name, message in every.items():
        write(udp, name, message)
        write(tcp, name, record(message))
    for name, stream in streams(every):
        write(tcp, name, stream)


if __name__ == "__main__":
    main()
