#pragma once

#include <cstdint>
#include <stdexcept>

#include "XdrStream.h"

// The checked XDR primitives that every codec is built from. A decode that runs out of bytes
// throws XdrDecodeError; the program's dispatcher turns it into GARBAGE_ARGS in one place.
class XdrDecodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

uint32_t ReadUint32(IInputStream& in);
uint64_t ReadUint64(IInputStream& in);
// XDR booleans: only the word 1 is TRUE; any other value reads as FALSE.
bool ReadBool(IInputStream& in);
// Reads `count` bytes, all of which must be there.
void ReadExactly(IInputStream& in, void* destination, uint32_t count);
// Passes over the zero bytes that pad an opaque of `length` bytes to a multiple of four.
void SkipPad(IInputStream& in, uint32_t length);

void WriteBool(IOutputStream& out, bool value);
void WritePad(IOutputStream& out, uint32_t length);

constexpr uint32_t PadLength(uint32_t length) {
    return (4 - (length & 3)) & 3;
}
