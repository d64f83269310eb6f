#include <gtest/gtest.h>

#include <algorithm>

#include "BoundedInputStream.h"
#include "Opaque.h"
#include "RpcBytes.h"
#include "Xdr.h"

namespace {

CSocketStream& Stream(const std::vector<uint8_t>& input = {}) {
    static CSocketStream stream;
    stream.ResetOutput();
    LoadInput(stream, input);
    return stream;
}

TEST(Opaque, AllocateGivesZeroedBytes) {
    opaque empty;
    EXPECT_EQ(empty.Length(), 0u);
    opaque value(3);
    value.Allocate(5);
    ASSERT_EQ(value.Length(), 5u);
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(value.Data()[i], 0);
    value.Allocate(0);
    EXPECT_EQ(value.Length(), 0u);
    // Room kept inside the value or on the heap, reused or not, comes back zeroed.
    for (uint32_t length : {opaque::kInline, opaque::kInline + 1, 7u, opaque::kInline}) {
        value.Allocate(length);
        ASSERT_EQ(value.Length(), length);
        EXPECT_EQ(std::count(value.Data(), value.Data() + length, 0), length) << length;
        std::fill_n(value.Data(), length, 0xAB);
    }
}

TEST(Opaque, RoundTripsWithPadding) {
    const uint8_t data[5] = {'h', 'e', 'l', 'l', 'o'};
    CSocketStream& out = Stream();
    WriteOpaque(out, data, 5);
    std::vector<uint8_t> encoded = OutputBytes(out);
    EXPECT_EQ(encoded, (std::vector<uint8_t>{0, 0, 0, 5, 'h', 'e', 'l', 'l', 'o', 0, 0, 0}));

    CSocketStream& in = Stream(Concat(encoded, XdrBytes().Word(42).Get()));
    opaque value;
    ReadOpaque(in, value);
    ASSERT_EQ(value.Length(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(value.Data()), 5), "hello");
    EXPECT_EQ(ReadUint32(in), 42u);  // the padding was consumed
}

// A view decodes in place, also through a record's bounds, and fails like a copy on every cut.
TEST(Opaque, EveryTruncatedPrefixFailsToDecode) {
    std::vector<uint8_t> encoded = XdrBytes().Opaque("hello", 5).Get();
    for (size_t cut = 0; cut <= encoded.size(); ++cut) {
        CSocketStream& in = Stream(Concat(encoded, {0, 0, 0, 0}));
        BoundedInputStream record(in, static_cast<uint32_t>(cut));
        OpaqueView view;
        if (cut < encoded.size()) {
            EXPECT_THROW(ReadOpaque(record, view), XdrDecodeError) << "prefix of " << cut;
            CSocketStream& copied =
                Stream(std::vector<uint8_t>(encoded.begin(), encoded.begin() + cut));
            opaque value;
            EXPECT_THROW(ReadOpaque(copied, value), XdrDecodeError) << "prefix of " << cut;
            continue;
        }
        ReadOpaque(record, view);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), view.length), "hello");
        EXPECT_EQ(view.data, in.GetInputBuffer() + 4) << "not copied";
        EXPECT_EQ(record.Remaining(), 0u);
    }
}

// A length word that promises more than the message holds must be refused before the server
// allocates anything for it.
class CountingOpaque : public opaque {
  public:
    void Allocate(uint32_t length) override {
        ++allocations;
        opaque::Allocate(length);
    }
    int allocations = 0;
};

TEST(Opaque, LengthBeyondTheMessageIsRefusedBeforeAllocating) {
    CSocketStream& in = Stream(XdrBytes().Word(0xFFFFFFF0).Word(1).Get());
    CountingOpaque value;
    EXPECT_THROW(ReadOpaque(in, value), XdrDecodeError);
    EXPECT_EQ(value.allocations, 0);
}

TEST(Xdr, PrimitivesThrowOnShortInputAndBoolIsOnlyOne) {
    CSocketStream& in = Stream(XdrBytes().Word(2).Word(1).Word(0).Bytes("abc", 3).Get());
    EXPECT_FALSE(ReadBool(in));
    EXPECT_TRUE(ReadBool(in));
    EXPECT_FALSE(ReadBool(in));
    EXPECT_THROW(ReadUint32(in), XdrDecodeError);
    CSocketStream& in64 = Stream(XdrBytes().Word(1).Get());
    EXPECT_THROW(ReadUint64(in64), XdrDecodeError);
}

}  // namespace
