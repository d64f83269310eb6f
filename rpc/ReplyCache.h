#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "XdrStream.h"

// One call as its client sends it again: a client whose reply was lost (a UDP timeout, a broken
// connection) resends the call with the same xid from the same address and port.
struct ReplyKey {
    std::string client;  // dotted decimal
    uint16_t port = 0;
    uint32_t xid = 0;
    uint32_t program = 0;
    uint32_t version = 0;
    uint32_t procedure = 0;

    bool operator==(const ReplyKey& other) const;
};

// The results of recent calls that change the file system. A second run of a REMOVE, RMDIR,
// RENAME, MKDIR or guarded CREATE that already succeeded would answer NOENT or EXIST, and the
// client would report a failure for what happened; a retransmission gets the results the first
// call got instead (the Linux kernel server and NFS-Ganesha keep such a cache too). Bounded: the
// oldest are forgotten first, long after any client has stopped resending.
class CReplyCache {
  public:
    static constexpr size_t kCapacity = 512;

    explicit CReplyCache(size_t capacity = kCapacity) : m_nCapacity(capacity) {}

    // Writes the kept results of the call `key` into `out`, or runs `serve` on `out` and keeps
    // what it wrote when it answers kDispatchDone. Returns what `serve` returned, or
    // kDispatchDone for kept results.
    int Answer(const ReplyKey& key, IOutputStream& out,
               const std::function<int(IOutputStream&)>& serve);
    size_t Size() const { return m_replies.size(); }

  private:
    struct KeyHash {
        size_t operator()(const ReplyKey& key) const;
    };

    void Keep(const ReplyKey& key, std::vector<uint8_t> results);

    size_t m_nCapacity;
    std::unordered_map<ReplyKey, std::vector<uint8_t>, KeyHash> m_replies;
    std::deque<ReplyKey> m_order;  // oldest first
};
