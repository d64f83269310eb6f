#pragma once

#include <memory>

#include "XdrStream.h"

// The XDR streams of one connection: a receive buffer that calls are decoded from and a reply
// buffer that replies are encoded into, both allocated once and reused for every message.
class CSocketStream : public IInputStream, public IOutputStream {
  public:
    static constexpr uint32_t kCapacity = 1048576;

    CSocketStream();
    virtual ~CSocketStream();
    CSocketStream(const CSocketStream&) = delete;
    CSocketStream& operator=(const CSocketStream&) = delete;

    uint32_t Read(void* destination, uint32_t count) override;
    uint32_t ReadInt32(uint32_t* value) override;
    uint32_t ReadInt64(uint64_t* value) override;
    uint32_t Skip(uint32_t count) override;
    uint32_t Remaining() override;
    const uint8_t* Take(uint32_t count) override;
    const uint8_t* Peek(uint32_t count) override;

    uint32_t Write(const void* source, uint32_t count) override;
    uint32_t WriteInt32(uint32_t value) override;
    uint32_t WriteInt64(uint64_t value) override;
    void Seek(int32_t offset, int origin) override;
    uint32_t Position() override;
    uint8_t* Room(uint32_t ahead, uint32_t& count) override;

    uint8_t* GetInputBuffer() { return m_pInput.get(); }
    uint32_t GetInputCapacity() const { return kCapacity; }
    void SetInput(uint32_t length);
    const uint8_t* GetOutputBuffer() const { return m_pOutput.get(); }
    uint32_t GetOutputLength() const { return m_nOutputLength; }
    void ResetOutput();

  private:
    std::unique_ptr<uint8_t[]> m_pInput;
    std::unique_ptr<uint8_t[]> m_pOutput;
    uint32_t m_nInputPosition = 0;
    uint32_t m_nInputLength = 0;
    uint32_t m_nOutputPosition = 0;
    uint32_t m_nOutputLength = 0;
};
