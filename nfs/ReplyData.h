#pragma once

#include <cstdint>

#include "XdrStream.h"

// File data that a READ of either version reads from the host straight into its reply.
struct ReplyData {
    const uint8_t* bytes = nullptr;
    uint32_t wanted = 0;  // bytes asked for, as far as the reply has room for them
    int64_t got = -1;     // bytes read; -1 when the file could not be opened or read
};

// Opens the file at `path`, reads up to `count` bytes at `offset` into `out` where they will
// stand once a head of `head` bytes has been written, and closes the file again: the server
// keeps no file open between calls. The caller then writes the head, and the data from `bytes`
// with WriteOpaque.
ReplyData ReadIntoReply(IOutputStream& out, uint32_t head, const char* path, uint64_t offset,
                        uint32_t count, bool exclusive);
