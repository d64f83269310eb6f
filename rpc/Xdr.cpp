#include "Xdr.h"

uint32_t ReadUint32(IInputStream& in) {
    uint32_t value = 0;
    if (in.ReadInt32(&value) != 4) throw XdrDecodeError("short 32-bit word");
    return value;
}

uint64_t ReadUint64(IInputStream& in) {
    uint64_t value = 0;
    if (in.ReadInt64(&value) != 8) throw XdrDecodeError("short 64-bit word");
    return value;
}

bool ReadBool(IInputStream& in) {
    return ReadUint32(in) == 1;
}

void ReadExactly(IInputStream& in, void* destination, uint32_t count) {
    if (in.Read(destination, count) != count) throw XdrDecodeError("short opaque data");
}

void SkipPad(IInputStream& in, uint32_t length) {
    uint32_t pad = PadLength(length);
    if (in.Skip(pad) != pad) throw XdrDecodeError("short opaque padding");
}

void WriteBool(IOutputStream& out, bool value) {
    out.WriteInt32(value ? 1 : 0);
}

void WritePad(IOutputStream& out, uint32_t length) {
    static const uint8_t kZeros[4] = {};
    uint32_t pad = PadLength(length);
    if (pad != 0) out.Write(kZeros, pad);
}
