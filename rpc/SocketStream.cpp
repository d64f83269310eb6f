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
T FromBigEndian(const uint8_t* bytes) {
    T value = 0;
    for (uint32_t i = 0; i < sizeof(T); ++i) value = static_cast<T>((value << 8) | bytes[i]);
    return value;
}

template <typename T>
void ToBigEndian(T value, uint8_t* bytes) {
    for (uint32_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * (sizeof(T) - 1 - i)));
    }
}

// A word that lies whole in the message is decoded in place; only one cut short by the message's
// end goes the careful way. Every call is mostly words, so this is the stream's busiest path.
template <typename T>
uint32_t ReadWord(CSocketStream& stream, const uint8_t* input, uint32_t& position, T* value) {
    if (stream.Remaining() >= sizeof(T)) {
        *value = FromBigEndian<T>(input + position);
        position += sizeof(T);
        return sizeof(T);
    }
    uint8_t bytes[sizeof(T)];
    uint32_t n = stream.Read(bytes, sizeof(T));
    *value = FromBigEndian<T>(bytes, n, *value);
    return n;
}

// The same for the words of a reply: put in place while they fit whole before the buffer's end.
template <typename T>
uint32_t WriteWord(CSocketStream& stream, uint8_t* output, uint32_t& position, uint32_t& length,
                   T value) {
    if (position > CSocketStream::kCapacity - sizeof(T)) {
        uint8_t bytes[sizeof(T)];
        ToBigEndian(value, bytes);
        return stream.Write(bytes, sizeof(T));
    }
    ToBigEndian(value, output + position);
    position += sizeof(T);
    length = std::max(length, position);
    return position;
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
    return ReadWord(*this, m_pInput.get(), m_nInputPosition, value);
}

uint32_t CSocketStream::ReadInt64(uint64_t* value) {
    return ReadWord(*this, m_pInput.get(), m_nInputPosition, value);
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
    const uint8_t* bytes = Peek(count);
    if (bytes != nullptr) m_nInputPosition += count;
    return bytes;
}

const uint8_t* CSocketStream::Peek(uint32_t count) {
    return count <= Remaining() ? m_pInput.get() + m_nInputPosition : nullptr;
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
    return WriteWord(*this, m_pOutput.get(), m_nOutputPosition, m_nOutputLength, value);
}

uint32_t CSocketStream::WriteInt64(uint64_t value) {
    return WriteWord(*this, m_pOutput.get(), m_nOutputPosition, m_nOutputLength, value);
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
