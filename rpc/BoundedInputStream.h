#pragma once

#include "XdrStream.h"

// A view of the next `limit` bytes of another input stream: one TCP record. Decoding a call
// through it cannot run into the next record, and SkipRest moves the underlying stream to the
// next record whatever the handler left unread.
class BoundedInputStream : public IInputStream {
  public:
    BoundedInputStream(IInputStream& inner, uint32_t limit);

    uint32_t Read(void* destination, uint32_t count) override;
    uint32_t ReadInt32(uint32_t* value) override;
    uint32_t ReadInt64(uint64_t* value) override;
    uint32_t Skip(uint32_t count) override;
    uint32_t Remaining() override;
    const uint8_t* Take(uint32_t count) override;
    const uint8_t* Peek(uint32_t count) override;

    void SkipRest();

  private:
    template <typename T>
    uint32_t ReadWord(T* value, uint32_t (IInputStream::*read)(T*));
    uint32_t Consume(uint32_t count);

    IInputStream& m_inner;
    uint32_t m_nLeft;
};
