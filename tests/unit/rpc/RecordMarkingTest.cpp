#include <gtest/gtest.h>

#include "RecordMarking.h"
#include "RpcBytes.h"

namespace {

std::vector<uint8_t> Fragment(const std::string& body, bool last) {
    return XdrBytes()
        .Word((last ? 0x80000000u : 0) | uint32_t(body.size()))
        .Bytes(body.data(), body.size())
        .Get();
}

std::string Text(const std::vector<uint8_t>& bytes, size_t from, size_t size) {
    return std::string(bytes.begin() + from, bytes.begin() + from + size);
}

TEST(RecordMarking, SeveralCompleteRecordsStayAsTheyAre) {
    std::vector<uint8_t> buffer = Concat(Fragment("abcd", true), Fragment("efgh1234", true));
    const std::vector<uint8_t> original = buffer;
    RecordScan scan = JoinCompleteRecords(buffer.data(), uint32_t(buffer.size()), 1024);
    EXPECT_FALSE(scan.tooLong);
    EXPECT_EQ(scan.joinedLength, buffer.size());
    EXPECT_EQ(scan.consumed, buffer.size());
    EXPECT_EQ(buffer, original);
}

TEST(RecordMarking, FragmentsAreJoinedBehindOneMark) {
    std::vector<uint8_t> buffer =
        Concat(Concat(Fragment("abcd", false), Fragment("efgh", false)), Fragment("ij", true));
    RecordScan scan = JoinCompleteRecords(buffer.data(), uint32_t(buffer.size()), 1024);
    EXPECT_EQ(scan.consumed, buffer.size());
    ASSERT_EQ(scan.joinedLength, 14u);
    EXPECT_EQ(Words(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4))[0], 0x8000000Au);
    EXPECT_EQ(Text(buffer, 4, 10), "abcdefghij");
}

TEST(RecordMarking, AnIncompleteRecordIsLeftForTheNextReceive) {
    std::vector<uint8_t> second = Concat(Fragment("wxyz", false), Fragment("tail", true));
    std::vector<uint8_t> buffer = Concat(Fragment("abcd", true), second);
    for (size_t cut = 8; cut < buffer.size(); ++cut) {
        std::vector<uint8_t> part(buffer.begin(), buffer.begin() + cut);
        RecordScan scan = JoinCompleteRecords(part.data(), uint32_t(part.size()), 1024);
        EXPECT_FALSE(scan.tooLong);
        EXPECT_EQ(scan.joinedLength, 8u) << cut;
        EXPECT_EQ(scan.consumed, 8u) << cut;
        EXPECT_EQ(std::vector<uint8_t>(part.begin() + 8, part.end()),
                  std::vector<uint8_t>(second.begin(), second.begin() + (cut - 8)));
    }
}

TEST(RecordMarking, JoinedRecordsFollowEachOtherAfterCompaction) {
    std::vector<uint8_t> buffer = Concat(Concat(Fragment("ab", false), Fragment("cd", true)),
                                         Concat(Fragment("ef", false), Fragment("gh", true)));
    RecordScan scan = JoinCompleteRecords(buffer.data(), uint32_t(buffer.size()), 1024);
    ASSERT_EQ(scan.joinedLength, 16u);
    EXPECT_EQ(Words(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4))[0], 0x80000004u);
    EXPECT_EQ(Text(buffer, 4, 4), "abcd");
    EXPECT_EQ(Words(std::vector<uint8_t>(buffer.begin() + 8, buffer.begin() + 12))[0], 0x80000004u);
    EXPECT_EQ(Text(buffer, 12, 4), "efgh");
}

TEST(RecordMarking, ARecordThatCanNeverFitIsTooLong) {
    std::vector<uint8_t> buffer = XdrBytes().Word(0x80000000u | 2000).Word(1).Get();
    RecordScan scan = JoinCompleteRecords(buffer.data(), uint32_t(buffer.size()), 1024);
    EXPECT_TRUE(scan.tooLong);
    EXPECT_EQ(scan.joinedLength, 0u);

    std::vector<uint8_t> fits = XdrBytes().Word(0x80000000u | 1020).Get();
    EXPECT_FALSE(JoinCompleteRecords(fits.data(), uint32_t(fits.size()), 1024).tooLong);

    // A fragment that fills the buffer exactly but is not the last leaves no room for the rest.
    std::vector<uint8_t> full = Fragment(std::string(1020, 'x'), false);
    EXPECT_TRUE(JoinCompleteRecords(full.data(), uint32_t(full.size()), 1024).tooLong);
    std::vector<uint8_t> roomForAMark = Fragment(std::string(1016, 'x'), false);
    EXPECT_FALSE(
        JoinCompleteRecords(roomForAMark.data(), uint32_t(roomForAMark.size()), 1024).tooLong);

    // Fragments that add up beyond the buffer count too, marks included.
    std::vector<uint8_t> growing =
        Concat(Fragment(std::string(1000, 'x'), false), XdrBytes().Word(0x80000000u | 100).Get());
    EXPECT_TRUE(JoinCompleteRecords(growing.data(), uint32_t(growing.size()), 1024).tooLong);
}

}  // namespace
