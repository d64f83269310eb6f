#include "ReplyCache.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

#include "QDV_RPC.h"

namespace {

// Passes every write on to another output stream and keeps a copy of the bytes, at the positions
// they take there counted from where the copy began.
class RecordingOutputStream final : public IOutputStream {
  public:
    explicit RecordingOutputStream(IOutputStream& inner)
        : m_inner(inner), m_nStart(inner.Position()) {}

    uint32_t Write(const void* source, uint32_t count) override {
        Record(source, count);
        return m_inner.Write(source, count);
    }
    uint32_t WriteInt32(uint32_t value) override {
        const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                                  uint8_t(value)};
        Record(bytes, 4);
        return m_inner.WriteInt32(value);
    }
    uint32_t WriteInt64(uint64_t value) override {
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(value >> (56 - 8 * i));
        Record(bytes, 8);
        return m_inner.WriteInt64(value);
    }
    void Seek(int32_t offset, int origin) override { m_inner.Seek(offset, origin); }
    uint32_t Position() override { return m_inner.Position(); }
    uint8_t* Room(uint32_t ahead, uint32_t& count) override { return m_inner.Room(ahead, count); }

    std::vector<uint8_t> Take() { return std::move(m_bytes); }

  private:
    void Record(const void* source, uint32_t count) {
        const size_t at = m_inner.Position() - m_nStart;
        if (m_bytes.size() < at + count) m_bytes.resize(at + count);
        const auto* bytes = static_cast<const uint8_t*>(source);
        std::copy(bytes, bytes + count, m_bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }

    IOutputStream& m_inner;
    const uint32_t m_nStart;
    std::vector<uint8_t> m_bytes;
};

}  // namespace

bool ReplyKey::operator==(const ReplyKey& other) const {
    return xid == other.xid && port == other.port && program == other.program &&
           version == other.version && procedure == other.procedure && client == other.client;
}

size_t CReplyCache::KeyHash::operator()(const ReplyKey& key) const {
    size_t hash = std::hash<std::string>()(key.client);
    for (uint32_t part : {uint32_t{key.port}, key.xid, key.program, key.version, key.procedure}) {
        hash = hash * 31 + part;
    }
    return hash;
}

int64_t CReplyCache::SteadySeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(steady_clock::now().time_since_epoch()).count();
}

// The arguments are looked at where they lie and left for the handler to decode.
int CReplyCache::Answer(const ReplyKey& key, IInputStream& in, IOutputStream& out,
                        const Serve& serve) {
    const int64_t now = m_clock();
    Expire(now);
    const uint32_t length = in.Remaining();
    const uint8_t* arguments = in.Peek(length);
    auto kept = m_index.find(key);
    if (kept != m_index.end()) {
        const std::vector<uint8_t>& keptArguments = kept->second->arguments;
        if (keptArguments.size() == length &&
            std::equal(keptArguments.begin(), keptArguments.end(), arguments)) {
            const std::vector<uint8_t>& results = kept->second->results;
            out.Write(results.data(), static_cast<uint32_t>(results.size()));
            return kDispatchDone;
        }
    }
    RecordingOutputStream recorder(out);
    int result = serve(in, recorder);
    if (result == kDispatchDone) Keep(key, arguments, length, recorder.Take(), now);
    return result;
}

void CReplyCache::Clear() {
    m_index.clear();
    m_entries.clear();
}

void CReplyCache::Expire(int64_t now) {
    while (!m_entries.empty() && now - m_entries.front().at >= kLifetime) {
        m_index.erase(m_entries.front().key);
        m_entries.pop_front();
    }
}

void CReplyCache::Drop(const ReplyKey& key) {
    auto kept = m_index.find(key);
    if (kept == m_index.end()) return;
    m_entries.erase(kept->second);
    m_index.erase(kept);
}

// A new call under a kept call's key replaces it: the client has moved on from the old one.
void CReplyCache::Keep(const ReplyKey& key, const uint8_t* arguments, uint32_t length,
                       std::vector<uint8_t> results, int64_t now) {
    Drop(key);
    if (length + results.size() > kEntryBytes) return;
    m_entries.push_back(
        Entry{key, std::vector<uint8_t>(arguments, arguments + length), std::move(results), now});
    m_index.emplace(key, std::prev(m_entries.end()));
    if (m_entries.size() > m_nCapacity) Drop(m_entries.front().key);
}
