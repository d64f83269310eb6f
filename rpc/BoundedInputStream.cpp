#include "BoundedInputStream.h"

#include <algorithm>

BoundedInputStream::BoundedInputStream(IInputStream& inner, uint32_t limit)
    : m_inner(inner), m_nLeft(std::min(limit, inner.Remaining())) {}

uint32_t BoundedInputStream::Consume(uint32_t count) {
    m_nLeft -= count;
    return count;
}

uint32_t BoundedInputStream::Read(void* destination, uint32_t count) {
    return Consume(m_inner.Read(destination, std::min(count, m_nLeft)));
}

// A word that straddles the end of the record is read short, exactly as at the end of a message.
template <typename T>
uint32_t BoundedInputStream::ReadWord(T* value, uint32_t (IInputStream::*read)(T*)) {
    if (m_nLeft >= sizeof(T)) return Consume((m_inner.*read)(value));
    uint8_t bytes[sizeof(T)] = {};
    uint32_t n = Read(bytes, m_nLeft);
    T result = *value;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t shift = 8 * (sizeof(T) - 1 - i);
        result = static_cast<T>((result & ~(static_cast<T>(0xFF) << shift)) |
                                (static_cast<T>(bytes[i]) << shift));
    }
    *value = result;
    return n;
}

uint32_t BoundedInputStream::ReadInt32(uint32_t* value) {
    return ReadWord(value, &IInputStream::ReadInt32);
}

uint32_t BoundedInputStream::ReadInt64(uint64_t* value) {
    return ReadWord(value, &IInputStream::ReadInt64);
}

uint32_t BoundedInputStream::Skip(uint32_t count) {
    return Consume(m_inner.Skip(std::min(count, m_nLeft)));
}

uint32_t BoundedInputStream::Remaining() {
    return m_nLeft;
}

const uint8_t* BoundedInputStream::Take(uint32_t count) {
    const uint8_t* bytes = count <= m_nLeft ? m_inner.Take(count) : nullptr;
    if (bytes != nullptr) Consume(count);
    return bytes;
}

const uint8_t* BoundedInputStream::Peek(uint32_t count) {
    return count <= m_nLeft ? m_inner.Peek(count) : nullptr;
}

void BoundedInputStream::SkipRest() {
    Skip(m_nLeft);
}
