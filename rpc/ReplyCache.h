#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "XdrStream.h"

// Where a call came from and which call it was by its header: a client whose reply was lost (a
// UDP timeout, a broken connection) resends the call with the same xid from the same address
// and port.
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
// call got instead (the Linux kernel server and NFS-Ganesha keep such a cache too).
//
// Key: the ReplyKey, and the call's argument bytes, all of them, compared whole. A player that
// starts again sends from the same reserved port with its xids counted afresh from a fixed seed:
// its new call has the key of an old one but other arguments, and is carried out.
// Bound: at most kCapacity calls, each kept only when its arguments and results take at most
// kEntryBytes together: about 2 MiB besides the keys. The oldest go first.
// Staleness: a kept call answers for kLifetime seconds, far longer than any client resends.
// Never: answers a call whose arguments differ from the kept one's; answers after kLifetime;
// answers in a run of the server with results of the run before (the server's stop empties
// it); keeps a call that was refused (garbage, procedure not served).
// Served under the daemon's call lock: no lock of its own.
class CReplyCache {
  public:
    static constexpr size_t kCapacity = 512;
    static constexpr size_t kEntryBytes = 4096;
    static constexpr int64_t kLifetime = 120;

    // Seconds on a clock that never goes back.
    using Clock = int64_t (*)();
    using Serve = std::function<int(IInputStream& in, IOutputStream& out)>;

    explicit CReplyCache(Clock clock = SteadySeconds, size_t capacity = kCapacity)
        : m_clock(clock), m_nCapacity(capacity) {}

    // Writes the kept results of the call `key` with the arguments left in `in` into `out`, or
    // runs `serve` and keeps what it wrote when it answers kDispatchDone. Returns what `serve`
    // returned, or kDispatchDone for kept results.
    int Answer(const ReplyKey& key, IInputStream& in, IOutputStream& out, const Serve& serve);
    void Clear();
    size_t Size() const { return m_entries.size(); }

    static int64_t SteadySeconds();

  private:
    struct Entry {
        ReplyKey key;
        std::vector<uint8_t> arguments;
        std::vector<uint8_t> results;
        int64_t at = 0;
    };
    struct KeyHash {
        size_t operator()(const ReplyKey& key) const;
    };

    void Expire(int64_t now);
    void Drop(const ReplyKey& key);
    void Keep(const ReplyKey& key, const uint8_t* arguments, uint32_t length,
              std::vector<uint8_t> results, int64_t now);

    Clock m_clock;
    size_t m_nCapacity;
    std::list<Entry> m_entries;  // oldest first
    std::unordered_map<ReplyKey, std::list<Entry>::iterator, KeyHash> m_index;
};
