#include "RpcBytes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "QDV_RPCDeamon.h"

XdrBytes& XdrBytes::Word(uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) m_bytes.push_back(uint8_t(value >> shift));
    return *this;
}

XdrBytes& XdrBytes::Hyper(uint64_t value) {
    Word(uint32_t(value >> 32));
    return Word(uint32_t(value));
}

XdrBytes& XdrBytes::Bytes(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + size);
    return *this;
}

XdrBytes& XdrBytes::Opaque(const void* data, size_t size) {
    Word(uint32_t(size));
    Bytes(data, size);
    m_bytes.resize(m_bytes.size() + ((4 - size % 4) % 4), 0);
    return *this;
}

std::vector<uint8_t> MakeCall(const CallHeaderSpec& h, const std::vector<uint8_t>& args) {
    XdrBytes call;
    call.Word(h.xid).Word(0).Word(2).Word(h.program).Word(h.version).Word(h.procedure);
    call.Word(h.credentialFlavour).Opaque(h.credential.data(), h.credential.size());
    call.Word(h.verifierFlavour).Opaque(h.verifier.data(), h.verifier.size());
    call.Append(args);
    return call.Get();
}

std::vector<uint8_t> AsRecord(const std::vector<uint8_t>& call) {
    XdrBytes record;
    record.Word(0x80000000u | uint32_t(call.size())).Append(call);
    return record.Get();
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

uint32_t WordReader::Read(void* destination, uint32_t count) {
    const uint8_t* bytes = Take(count = std::min(count, Remaining()));
    if (count > 0) std::memcpy(destination, bytes, count);
    return count;
}

uint32_t WordReader::ReadInt32(uint32_t* value) {
    if (Left() < 4) return 0;
    *value = Word();
    return 4;
}

uint32_t WordReader::ReadInt64(uint64_t* value) {
    if (Left() < 8) return 0;
    *value = Hyper();
    return 8;
}

uint32_t WordReader::Skip(uint32_t count) {
    return Take(count = std::min(count, Remaining())) != nullptr ? count : 0;
}

const uint8_t* WordReader::Take(uint32_t count) {
    const uint8_t* bytes = Peek(count);
    if (bytes != nullptr) m_position += count;
    return bytes;
}

const uint8_t* WordReader::Peek(uint32_t count) {
    return Left() < count ? nullptr : m_bytes.data() + m_position;
}

uint32_t WordReader::Word() {
    std::vector<uint8_t> b = Bytes(4);
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
}

uint64_t WordReader::Hyper() {
    uint64_t high = Word();
    return (high << 32) | Word();
}

std::vector<uint8_t> WordReader::Bytes(size_t size) {
    if (Left() < size) throw std::out_of_range("reply shorter than expected");
    std::vector<uint8_t> out(m_bytes.begin() + m_position, m_bytes.begin() + m_position + size);
    m_position += size;
    return out;
}

std::vector<uint8_t> WordReader::Opaque() {
    uint32_t size = Word();
    std::vector<uint8_t> data = Bytes(size);
    Bytes((4 - size % 4) % 4);
    return data;
}

std::vector<uint32_t> Words(const std::vector<uint8_t>& bytes) {
    WordReader reader(bytes);
    std::vector<uint32_t> words;
    while (reader.Left() >= 4) words.push_back(reader.Word());
    return words;
}

void LoadInput(CSocketStream& stream, const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) std::memcpy(stream.GetInputBuffer(), bytes.data(), bytes.size());
    stream.SetInput(uint32_t(bytes.size()));
}

std::vector<uint8_t> OutputBytes(const CSocketStream& stream) {
    return std::vector<uint8_t>(stream.GetOutputBuffer(),
                                stream.GetOutputBuffer() + stream.GetOutputLength());
}

HandledCall RunCall(CQDV_RPCDeamon& daemon, int transport, const std::vector<uint8_t>& bytes,
                    const char* client, uint16_t port) {
    static CSocketStream stream;  // 2 MiB: built once for the whole test run
    LoadInput(stream, bytes);
    stream.ResetOutput();
    HandledCall call;
    call.result = daemon.HandleCall(transport, stream, stream, client, port);
    call.reply = OutputBytes(stream);
    return call;
}
