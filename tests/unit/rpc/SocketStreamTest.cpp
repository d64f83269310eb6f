#include <gtest/gtest.h>

#include "RpcBytes.h"
#include "SocketStream.h"

namespace {

CSocketStream& Stream() {
    static CSocketStream stream;
    stream.ResetOutput();
    stream.SetInput(0);
    return stream;
}

TEST(SocketStream, ShortReadsConsumeWhatThereIsAndKeepTheLowBytes) {
    CSocketStream& s = Stream();
    LoadInput(s, {0xAB, 0xCD});
    uint32_t value = 0x11223344;
    EXPECT_EQ(s.ReadInt32(&value), 2u);
    EXPECT_EQ(value, 0xABCD3344u);
    EXPECT_EQ(s.Remaining(), 0u);

    LoadInput(s, {1, 2, 3});
    uint8_t bytes[8] = {};
    EXPECT_EQ(s.Read(bytes, 8), 3u);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(s.Read(bytes, 8), 0u);

    LoadInput(s, {1, 2, 3, 4, 5});
    EXPECT_EQ(s.Skip(3), 3u);
    EXPECT_EQ(s.Skip(10), 2u);
    EXPECT_EQ(s.Remaining(), 0u);
}

TEST(SocketStream, ReadsHyperHighWordFirst) {
    CSocketStream& s = Stream();
    LoadInput(s, XdrBytes().Hyper(0x0102030405060708ull).Get());
    uint64_t value = 0;
    EXPECT_EQ(s.ReadInt64(&value), 8u);
    EXPECT_EQ(value, 0x0102030405060708ull);
}

TEST(SocketStream, SetInputRestartsAtTheFirstByte) {
    CSocketStream& s = Stream();
    LoadInput(s, XdrBytes().Word(7).Word(8).Get());
    uint32_t value = 0;
    s.ReadInt32(&value);
    LoadInput(s, XdrBytes().Word(9).Get());
    EXPECT_EQ(s.ReadInt32(&value), 4u);
    EXPECT_EQ(value, 9u);
}

TEST(SocketStream, WriteAtTheEndOfTheBufferIsCut) {
    CSocketStream& s = Stream();
    s.Seek(CSocketStream::kCapacity - 2, kSeekStart);
    const uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(s.Write(bytes, 4), CSocketStream::kCapacity);
    EXPECT_EQ(s.Position(), CSocketStream::kCapacity);
    EXPECT_EQ(s.GetOutputLength(), CSocketStream::kCapacity);
    EXPECT_EQ(s.GetOutputBuffer()[CSocketStream::kCapacity - 1], 2);
    EXPECT_EQ(s.Write(bytes, 4), CSocketStream::kCapacity);
}

TEST(SocketStream, SeekPatchesAWordAndKeepsTheHighWaterMark) {
    CSocketStream& s = Stream();
    s.WriteInt32(1);
    s.WriteInt32(0);
    s.Seek(-4, kSeekCurrent);
    s.WriteInt32(3);
    EXPECT_EQ(Words(OutputBytes(s)), (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(s.Position(), 8u);

    s.ResetOutput();
    for (int i = 0; i < 10; ++i) s.WriteInt32(uint32_t(i));
    s.Seek(0, kSeekStart);
    s.WriteInt32(0xFFFFFFFF);
    EXPECT_EQ(s.Position(), 4u);
    EXPECT_EQ(s.GetOutputLength(), 40u);
    s.Seek(0, kSeekEnd);
    EXPECT_EQ(s.Position(), 40u);
    s.Seek(8, 7);  // unknown origin: no move
    EXPECT_EQ(s.Position(), 40u);
}

TEST(SocketStream, WritesIntegersMostSignificantFirst) {
    CSocketStream& s = Stream();
    s.WriteInt64(0x0102030405060708ull);
    s.WriteInt32(0x0A0B0C0D);
    EXPECT_EQ(OutputBytes(s), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13}));
}

}  // namespace
