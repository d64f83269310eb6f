#include "SocketStream.h"

#include <algorithm>
#include <cstring>

namespace {

// Integers travel most significant byte first; converting byte by byte keeps the streams
// independent of the host's byte order and alignment.
template <typename T>
T FromBigEndian(const uint8_t* bytes, uint32_t count, T previous) {
    uint8_t scratch[sizeof(T)];
    for (uint32_t i = 0; i < sizeof(T); ++i) {
        scratch[i] = static_cast<uint8_t>(previous >> (8 * (sizeof(T) - 1 - i)));
    }
    std::memcpy(scratch, bytes, count);
    T value = 0;
    for (uint8_t byte : scratch) value = static_cast<T>((value << 8) | byte);
    return value;
}

template <typename T>
void ToBigEndian(T value, uint8_t* bytes) {
    for (uint32_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * (sizeof(T) - 1 - i)));
    }
}

}  // namespace

CSocketStream::CSocketStream()
    : m_pInput(new uint8_t[kCapacity]), m_pOutput(new uint8_t[kCapacity]) {}

CSocketStream::~CSocketStream() = default;

uint32_t CSocketStream::Read(void* destination, uint32_t count) {
    uint32_t n = std::min(count, Remaining());
    if (n > 0) std::memcpy(destination, m_pInput.get() + m_nInputPosition, n);
    m_nInputPosition += n;
    return n;
}

// A short read keeps the destination's low bytes: the bytes that did arrive become the most
// significant ones. Callers look at the count before trusting the value.
uint32_t CSocketStream::ReadInt32(uint32_t* value) {
    uint8_t bytes[4];
    uint32_t n = Read(bytes, 4);
    *value = FromBigEndian<uint32_t>(bytes, n, *value);
    return n;
}

uint32_t CSocketStream::ReadInt64(uint64_t* value) {
    uint8_t bytes[8];
    uint32_t n = Read(bytes, 8);
    *value = FromBigEndian<uint64_t>(bytes, n, *value);
    return n;
}

uint32_t CSocketStream::Skip(uint32_t count) {
    uint32_t n = std::min(count, Remaining());
    m_nInputPosition += n;
    return n;
}

uint32_t CSocketStream::Remaining() {
    return m_nInputLength - m_nInputPosition;
}

const uint8_t* CSocketStream::Take(uint32_t count) {
    if (count > Remaining()) return nullptr;
    const uint8_t* bytes = m_pInput.get() + m_nInputPosition;
    m_nInputPosition += count;
    return bytes;
}

uint32_t CSocketStream::Write(const void* source, uint32_t count) {
    uint32_t room = m_nOutputPosition < kCapacity ? kCapacity - m_nOutputPosition : 0;
    uint32_t n = std::min(count, room);
    uint8_t* destination = m_pOutput.get() + m_nOutputPosition;
    if (n > 0 && destination != source) std::memmove(destination, source, n);
    m_nOutputPosition += n;
    m_nOutputLength = std::max(m_nOutputLength, m_nOutputPosition);
    return m_nOutputPosition;
}

uint32_t CSocketStream::WriteInt32(uint32_t value) {
    uint8_t bytes[4];
    ToBigEndian(value, bytes);
    return Write(bytes, 4);
}

uint32_t CSocketStream::WriteInt64(uint64_t value) {
    uint8_t bytes[8];
    ToBigEndian(value, bytes);
    return Write(bytes, 8);
}

void CSocketStream::Seek(int32_t offset, int origin) {
    switch (origin) {
        case kSeekStart:
            m_nOutputPosition = static_cast<uint32_t>(offset);
            break;
        case kSeekCurrent:
            m_nOutputPosition += static_cast<uint32_t>(offset);
            break;
        case kSeekEnd:
            m_nOutputPosition = m_nOutputLength + static_cast<uint32_t>(offset);
            break;
        default:
            break;
    }
}

uint32_t CSocketStream::Position() {
    return m_nOutputPosition;
}

uint8_t* CSocketStream::Room(uint32_t ahead, uint32_t& count) {
    const uint64_t start = std::min<uint64_t>(uint64_t{m_nOutputPosition} + ahead, kCapacity);
    count = static_cast<uint32_t>(std::min<uint64_t>(count, kCapacity - start));
    return m_pOutput.get() + start;
}

void CSocketStream::SetInput(uint32_t length) {
    m_nInputPosition = 0;
    m_nInputLength = std::min(length, kCapacity);
}

void CSocketStream::ResetOutput() {
    m_nOutputPosition = 0;
    m_nOutputLength = 0;
}
