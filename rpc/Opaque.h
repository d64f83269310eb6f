#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "XdrStream.h"

// XDR variable-length opaque data: a length and a zero-filled buffer that the value owns. Short
// values (every file handle, most names) are kept inside the object, so that decoding the
// arguments of a call allocates nothing; longer ones on the heap. Derived types decide the
// buffer's shape through Allocate.
class opaque {
  public:
    static constexpr uint32_t kInline = 128;

    opaque() = default;
    explicit opaque(uint32_t length);
    virtual ~opaque();
    opaque(const opaque&) = delete;
    opaque& operator=(const opaque&) = delete;

    virtual void Allocate(uint32_t length);

    uint32_t Length() const { return m_nLength; }
    uint8_t* Data() { return m_pData; }
    const uint8_t* Data() const { return m_pData; }

  protected:
    // Makes the value `length` bytes long in a zeroed buffer of `room` bytes (at least `length`).
    void Reserve(uint32_t length, size_t room);

  private:
    uint32_t m_nLength = 0;
    uint8_t m_inline[kInline] = {};
    std::unique_ptr<uint8_t[]> m_pHeap;
    uint8_t* m_pData = m_inline;
};

// Opaque data decoded where it lies in the received message: valid while its call is served.
struct OpaqueView {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

// Decodes length, bytes and padding. The claimed length is checked against the bytes left in the
// message before anything is allocated, so a forged length cannot make the server allocate.
void ReadOpaque(IInputStream& in, opaque& value);
void ReadOpaque(IInputStream& in, OpaqueView& value);
void WriteOpaque(IOutputStream& out, const void* data, uint32_t length);
void WriteOpaque(IOutputStream& out, const opaque& value);
