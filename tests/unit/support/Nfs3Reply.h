#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "Nfs3Types.h"
#include "RpcBytes.h"

// Pieces of NFS version 3 calls and replies, for the procedure tests. Replies are read with the
// product's codecs.

// A handle as an argument, to which the call's other arguments are added.
inline XdrBytes Handle(const std::vector<uint8_t>& handle) {
    return XdrBytes().Opaque(handle.data(), handle.size());
}

inline std::vector<uint8_t> BytesOf(const opaque& value) {
    return std::vector<uint8_t>(value.Data(), value.Data() + value.Length());
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
    fattr3 attributes;
};

// Status 0, then a handle and attributes that both follow; throws on any other answer.
inline NewEntry ReadNewEntry(WordReader& reply) {
    uint32_t status = reply.Word();
    if (status != 0) throw std::runtime_error("status " + std::to_string(status));
    post_op_fh3 handle;
    Read(reply, handle);
    post_op_attr attributes = Decoded<post_op_attr>(reply);
    if (!handle.handle_follows || !attributes.attributes_follow) {
        throw std::runtime_error("no handle or no attributes");
    }
    return NewEntry{BytesOf(handle.handle), attributes.attributes};
}
