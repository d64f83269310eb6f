#include "Opaque.h"

#include "Xdr.h"

opaque::opaque(uint32_t length) {
    opaque::Allocate(length);
}

opaque::~opaque() = default;

void opaque::Allocate(uint32_t length) {
    Replace(length, std::make_unique<uint8_t[]>(length));
}

void opaque::Replace(uint32_t length, std::unique_ptr<uint8_t[]> data) {
    m_nLength = length;
    m_pData = std::move(data);
}

void ReadOpaque(IInputStream& in, opaque& value) {
    uint32_t length = ReadUint32(in);
    if (static_cast<uint64_t>(length) + PadLength(length) > in.Remaining()) {
        throw XdrDecodeError("opaque longer than the message");
    }
    value.Allocate(length);
    ReadExactly(in, value.Data(), length);
    SkipPad(in, length);
}

void WriteOpaque(IOutputStream& out, const void* data, uint32_t length) {
    out.WriteInt32(length);
    out.Write(data, length);
    WritePad(out, length);
}

void WriteOpaque(IOutputStream& out, const opaque& value) {
    WriteOpaque(out, value.Data(), value.Length());
}
