#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "RpcBytes.h"

// Pieces of NFS version 3 calls and replies, for the procedure tests.

// An fattr3 as the reply carries it.
struct Fattr3 {
    uint32_t type, mode, nlink, uid, gid;
    uint64_t size, used;
    uint64_t rdev, fsid, fileid;
    uint32_t atime, atimeNs, mtime, mtimeNs, ctime, ctimeNs;
};

inline Fattr3 ReadFattr(WordReader& r) {
    Fattr3 a;
    a.type = r.Word();
    a.mode = r.Word();
    a.nlink = r.Word();
    a.uid = r.Word();
    a.gid = r.Word();
    a.size = r.Hyper();
    a.used = r.Hyper();
    a.rdev = r.Hyper();
    a.fsid = r.Hyper();
    a.fileid = r.Hyper();
    a.atime = r.Word();
    a.atimeNs = r.Word();
    a.mtime = r.Word();
    a.mtimeNs = r.Word();
    a.ctime = r.Word();
    a.ctimeNs = r.Word();
    return a;
}

// A handle as an argument, to which the call's other arguments are added.
inline XdrBytes Handle(const std::vector<uint8_t>& handle) {
    return XdrBytes().Opaque(handle.data(), handle.size());
}

// The table index a handle carries in its first four bytes.
inline uint32_t IndexOf(const std::vector<uint8_t>& handle) {
    return handle[0] | (handle[1] << 8) | (handle[2] << 16) | (uint32_t(handle[3]) << 24);
}

// The arguments so far followed by an sattr3 that sets nothing.
inline XdrBytes WithNoAttributes(XdrBytes args) {
    for (int field = 0; field < 6; ++field) args.Word(0);
    return args;
}

// The words of the reply that have not been read yet.
inline std::vector<uint32_t> RestWords(WordReader& reply) {
    return Words(reply.Bytes(reply.Left()));
}

// What a CREATE or MKDIR that succeeded answers before its folder's wcc_data.
struct NewEntry {
    std::vector<uint8_t> handle;
    Fattr3 attributes;
};

// Status 0, then a handle and attributes that both follow; throws on any other answer.
inline NewEntry ReadNewEntry(WordReader& reply) {
    uint32_t status = reply.Word();
    if (status != 0) throw std::runtime_error("status " + std::to_string(status));
    NewEntry entry;
    if (reply.Word() != 1) throw std::runtime_error("no handle");
    entry.handle = reply.Opaque();
    if (reply.Word() != 1) throw std::runtime_error("no attributes");
    entry.attributes = ReadFattr(reply);
    return entry;
}
