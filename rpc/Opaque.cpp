#include "Opaque.h"

#include <cstring>

#include "Xdr.h"

opaque::opaque(uint32_t length) {
    opaque::Allocate(length);
}

opaque::~opaque() = default;

void opaque::Allocate(uint32_t length) {
    Reserve(length, length);
}

void opaque::Reserve(uint32_t length, size_t room) {
    if (room <= kInline) {
        std::memset(m_inline, 0, room);
        m_pHeap.reset();
        m_pData = m_inline;
    } else {
        m_pHeap = std::make_unique<uint8_t[]>(room);
        m_pData = m_pHeap.get();
    }
    m_nLength = length;
}

namespace {

uint32_t ReadOpaqueLength(IInputStream& in) {
    uint32_t length = ReadUint32(in);
    if (static_cast<uint64_t>(length) + PadLength(length) > in.Remaining()) {
        throw XdrDecodeError("opaque longer than the message");
    }
    return length;
}

}  // namespace

void ReadOpaque(IInputStream& in, opaque& value) {
    uint32_t length = ReadOpaqueLength(in);
    value.Allocate(length);
    ReadExactly(in, value.Data(), length);
    SkipPad(in, length);
}

void ReadOpaque(IInputStream& in, OpaqueView& value) {
    uint32_t length = ReadOpaqueLength(in);
    value.data = in.Take(length);
    if (value.data == nullptr) throw XdrDecodeError("short opaque data");
    value.length = length;
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
