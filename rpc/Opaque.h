#pragma once

#include <cstdint>
#include <memory>

#include "XdrStream.h"

// XDR variable-length opaque data: a length and a zero-filled heap buffer that the value owns.
// Derived types decide the buffer's shape through Allocate.
class opaque {
  public:
    opaque() = default;
    explicit opaque(uint32_t length);
    virtual ~opaque();
    opaque(const opaque&) = delete;
    opaque& operator=(const opaque&) = delete;

    virtual void Allocate(uint32_t length);

    uint32_t Length() const { return m_nLength; }
    uint8_t* Data() { return m_pData.get(); }
    const uint8_t* Data() const { return m_pData.get(); }

  protected:
    void Replace(uint32_t length, std::unique_ptr<uint8_t[]> data);

  private:
    uint32_t m_nLength = 0;
    std::unique_ptr<uint8_t[]> m_pData;
};

// Decodes length, bytes and padding. The claimed length is checked against the bytes left in the
// message before anything is allocated, so a forged length cannot make the server allocate.
void ReadOpaque(IInputStream& in, opaque& value);
void WriteOpaque(IOutputStream& out, const void* data, uint32_t length);
void WriteOpaque(IOutputStream& out, const opaque& value);
