#include "ReplyCache.h"

#include <algorithm>
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

int CReplyCache::Answer(const ReplyKey& key, IOutputStream& out,
                        const std::function<int(IOutputStream&)>& serve) {
    auto kept = m_replies.find(key);
    if (kept != m_replies.end()) {
        out.Write(kept->second.data(), static_cast<uint32_t>(kept->second.size()));
        return kDispatchDone;
    }
    RecordingOutputStream recorder(out);
    int result = serve(recorder);
    if (result == kDispatchDone) Keep(key, recorder.Take());
    return result;
}

void CReplyCache::Keep(const ReplyKey& key, std::vector<uint8_t> results) {
    m_replies.emplace(key, std::move(results));
    m_order.push_back(key);
    if (m_order.size() <= m_nCapacity) return;
    m_replies.erase(m_order.front());
    m_order.pop_front();
}
