#include <gtest/gtest.h>

#include <algorithm>

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
    for (uint32_t back : {2u, 4u, 6u}) {
        s.Seek(static_cast<int32_t>(CSocketStream::kCapacity - back), kSeekStart);
        s.WriteInt32(0x05060708);
        EXPECT_EQ(s.Position(), CSocketStream::kCapacity - back + std::min(back, 4u)) << back;
        EXPECT_EQ(s.GetOutputBuffer()[CSocketStream::kCapacity - back], 5) << back;
    }
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

// Room lends what fits before the end of the buffer; data filled there and written with a head
// shorter than planned moves up behind it.
TEST(SocketStream, RoomIsCutAtTheEndAndItsDataLandsBehindWhateverHeadWasWritten) {
    constexpr uint32_t kCap = CSocketStream::kCapacity;
    struct Case {
        uint32_t position, ahead, asked, lent;
    } const cases[] = {{0, 8, 100, 100},      {kCap - 108, 8, 100, 100}, {kCap - 50, 8, 100, 42},
                       {kCap - 4, 8, 100, 0}, {kCap, 8, 100, 0},         {0, 0xFFFFFFFF, 100, 0}};
    for (const Case& c : cases) {
        CSocketStream& s = Stream();
        s.Seek(static_cast<int32_t>(c.position), kSeekStart);
        uint32_t count = c.asked;
        s.Room(c.ahead, count);
        EXPECT_EQ(count, c.lent) << c.position << " " << c.ahead;
    }
    for (uint32_t head : {8u, 4u, 0u}) {
        CSocketStream& s = Stream();
        uint32_t count = 3;
        uint8_t* room = s.Room(8, count);
        std::copy_n("abc", 3, room);
        for (uint32_t i = 0; i < head; i += 4) s.WriteInt32(7);
        s.Write(room, count);
        std::vector<uint8_t> expected(head / 4 * 4, 0);
        for (uint32_t i = 3; i < head; i += 4) expected[i] = 7;
        expected.insert(expected.end(), {'a', 'b', 'c'});
        EXPECT_EQ(OutputBytes(s), expected) << head;
    }
}

TEST(SocketStream, WritesIntegersMostSignificantFirst) {
    CSocketStream& s = Stream();
    s.WriteInt64(0x0102030405060708ull);
    s.WriteInt32(0x0A0B0C0D);
    EXPECT_EQ(OutputBytes(s), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13}));
}

}  // namespace
