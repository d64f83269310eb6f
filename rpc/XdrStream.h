#pragma once

#include <cstddef>
#include <cstdint>

// Decoding side of an XDR message held in memory. Reads never fail: they return how many bytes
// they consumed, and a short count is the caller's signal that the message ended early.
class IInputStream {
  public:
    virtual uint32_t Read(void* destination, uint32_t count) = 0;
    virtual uint32_t ReadInt32(uint32_t* value) = 0;
    virtual uint32_t ReadInt64(uint64_t* value) = 0;
    virtual uint32_t Skip(uint32_t count) = 0;
    virtual uint32_t Remaining() = 0;
    // The next `count` bytes where they lie in the message, consumed; null, and nothing
    // consumed, when fewer are left. A WRITE's data goes from the call to the file uncopied.
    virtual const uint8_t* Take(uint32_t count) = 0;
    // The same bytes without consuming them.
    virtual const uint8_t* Peek(uint32_t count) = 0;

  protected:
    ~IInputStream() = default;
};

// Seek origins of IOutputStream::Seek.
enum SeekOrigin : int { kSeekStart = 0, kSeekCurrent = 1, kSeekEnd = 2 };

// Encoding side of a reply held in memory. The reply's length is the furthest byte ever written
// (the high-water mark), so a word can be patched after the fact by seeking back over it.
class IOutputStream {
  public:
    virtual uint32_t Write(const void* source, uint32_t count) = 0;
    virtual uint32_t WriteInt32(uint32_t value) = 0;
    virtual uint32_t WriteInt64(uint64_t value) = 0;
    virtual void Seek(int32_t offset, int origin) = 0;
    virtual uint32_t Position() = 0;
    // Where the bytes that will stand `ahead` bytes past the current position can be filled in
    // place, and in `count` how many of those asked for fit there. Writing them afterwards from
    // that very place (Write with the returned pointer, or a little before it) copies nothing
    // they do not need: file data goes from the host straight into the reply.
    virtual uint8_t* Room(uint32_t ahead, uint32_t& count) = 0;

  protected:
    ~IOutputStream() = default;
};
