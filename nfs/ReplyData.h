#pragma once

#include <cstdint>

#include "ClientPaths.h"
#include "FileAttributes.h"
#include "XdrStream.h"

// What one open, transfer and close of a host file did, for either NFS version.
struct HostTransfer {
    uint32_t done = 0;                                   // bytes read or written
    hostfs::HostError error = hostfs::HostError::kNone;  // why it fell short (hostfs::Transfer)
    bool hasAttributes = false;                          // asked for, and the host gave them
    FileAttributes attributes;                           // the file's once the transfer was over
};

// File data that a READ of either version reads from the host straight into its reply.
struct ReplyData : HostTransfer {
    const uint8_t* data = nullptr;
    uint32_t wanted = 0;  // bytes asked for, as far as the reply has room for them
};

// Opens the file at `path`, reads up to `count` bytes at `offset` into `out` where they will
// stand once a head of `head` bytes has been written, takes the file's attributes, and closes
// the file again: the server keeps no file open between calls. The caller then writes the head,
// and the data from `data` with WriteOpaque.
ReplyData ReadIntoReply(IOutputStream& out, uint32_t head, const ClientPath& path, uint64_t offset,
                        uint32_t count, bool exclusive);

// Opens the file at `path`, writes `count` bytes at `offset`, takes the file's attributes when
// `withAttributes`, and closes the file again.
HostTransfer WriteFromCall(const ClientPath& path, bool exclusive, uint64_t offset,
                           const uint8_t* data, uint32_t count, bool withAttributes);
