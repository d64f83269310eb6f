#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SocketStream.h"

class CQDV_RPCDeamon;

// Builds XDR bytes word by word, for calls held in memory.
class XdrBytes {
  public:
    XdrBytes& Word(uint32_t value);
    XdrBytes& Hyper(uint64_t value);
    XdrBytes& Bytes(const void* data, size_t size);
    // Length, bytes and zero padding.
    XdrBytes& Opaque(const void* data, size_t size);
    XdrBytes& Text(const std::string& text) { return Opaque(text.data(), text.size()); }
    XdrBytes& Append(const std::vector<uint8_t>& bytes) {
        return Bytes(bytes.data(), bytes.size());
    }
    const std::vector<uint8_t>& Get() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

  private:
    std::vector<uint8_t> m_bytes;
};

struct CallHeaderSpec {
    uint32_t xid = 0x01020304;
    uint32_t program = 100000;
    uint32_t version = 2;
    uint32_t procedure = 3;
    uint32_t credentialFlavour = 0;
    std::vector<uint8_t> credential;
    uint32_t verifierFlavour = 0;
    std::vector<uint8_t> verifier;
};

// An RPC call: header and the given argument bytes.
std::vector<uint8_t> MakeCall(const CallHeaderSpec& header, const std::vector<uint8_t>& args = {});
// The same call as one TCP record (last-fragment mark in front).
std::vector<uint8_t> AsRecord(const std::vector<uint8_t>& call);
std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b);

// Reads big-endian words back out of a reply, or lets the product's codecs read it.
class WordReader : public IInputStream {
  public:
    explicit WordReader(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    uint32_t Read(void* destination, uint32_t count) override;
    uint32_t ReadInt32(uint32_t* value) override;
    uint32_t ReadInt64(uint64_t* value) override;
    uint32_t Skip(uint32_t count) override;
    uint32_t Remaining() override { return static_cast<uint32_t>(Left()); }
    const uint8_t* Take(uint32_t count) override;
    const uint8_t* Peek(uint32_t count) override;

    uint32_t Word();
    uint64_t Hyper();
    std::vector<uint8_t> Bytes(size_t size);
    // Length, bytes, padding.
    std::vector<uint8_t> Opaque();
    size_t Left() const { return m_bytes.size() - m_position; }
    const std::vector<uint8_t>& All() const { return m_bytes; }

  private:
    std::vector<uint8_t> m_bytes;
    size_t m_position = 0;
};

std::vector<uint32_t> Words(const std::vector<uint8_t>& bytes);

// A value of a protocol type, decoded from the reply by the product's own codec.
template <typename T>
T Decoded(WordReader& reply) {
    T value;
    Read(reply, value);
    return value;
}

// Runs one call held in bytes through HandleCall and returns the reply bytes it encoded.
struct HandledCall {
    int result = 0;
    std::vector<uint8_t> reply;
};
HandledCall RunCall(CQDV_RPCDeamon& daemon, int transport, const std::vector<uint8_t>& bytes,
                    const char* client = "127.0.0.1", uint16_t port = 0);

// Loads `bytes` as the received input of `stream`.
void LoadInput(CSocketStream& stream, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> OutputBytes(const CSocketStream& stream);
