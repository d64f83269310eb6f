#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "TempDir.h"

namespace {

std::vector<uint8_t> Record(const uint8_t* handle) {
    return std::vector<uint8_t>(handle, handle + CDorvelFileManager::kHandleSize);
}

std::vector<uint8_t> RecordOf(uint32_t index) {
    std::vector<uint8_t> record(CDorvelFileManager::kHandleSize, 0);
    for (int i = 0; i < 4; ++i) record[i] = uint8_t(index >> (8 * i));
    return record;
}

class FileManagerTable : public ::testing::Test {
  protected:
    CDorvelFileManager table;
};

TEST_F(FileManagerTable, IndexesFollowTheOrderOfFirstMeeting) {
    EXPECT_EQ(Record(table.GetHandle("D:\\Movies")), RecordOf(0));
    EXPECT_EQ(Record(table.GetHandle("D:\\Movies\\a.avi")), RecordOf(1));
    EXPECT_EQ(Record(table.GetHandle("D:\\Movies")), RecordOf(0));
    // Paths are compared byte for byte: another letter case is another entry.
    EXPECT_EQ(table.GetFileId("D:\\movies"), 2u);
    EXPECT_EQ(table.GetFileId("D:\\Movies\\a.avi"), 1u);
    EXPECT_EQ(table.Count(), 3u);
}

TEST_F(FileManagerTable, HandlesFindTheirPathAcrossBlocks) {
    for (uint32_t i = 0; i <= CDorvelFileManager::kBlockEntries; ++i) {
        table.GetHandle("/share/f" + std::to_string(i));
    }
    const uint8_t second[4] = {0x00, 0x08, 0x00, 0x00};
    ASSERT_NE(table.GetPath(second, 4), nullptr);
    EXPECT_STREQ(table.GetPath(second, 4), "/share/f2048");
    EXPECT_STREQ(table.GetPath(RecordOf(2047).data(), 64), "/share/f2047");
    // Stale: the index not yet given, one beyond, and a handle too short to hold an index.
    EXPECT_EQ(table.GetPath(RecordOf(2049).data(), 64), nullptr);
    EXPECT_EQ(table.GetPath(RecordOf(0xFFFFFFFF).data(), 64), nullptr);
    EXPECT_EQ(table.GetPath(second, 3), nullptr);
}

TEST_F(FileManagerTable, TheRecentListHoldsTheLastTenPathsFound) {
    std::vector<FileEntry*> entries;
    for (int i = 0; i < 11; ++i) entries.push_back(table.Add("/p" + std::to_string(i)));
    for (FileEntry* entry : entries) EXPECT_EQ(entry->bRecent, 0) << "new entries are not recent";
    for (int i = 0; i < 11; ++i) ASSERT_EQ(table.Find("/p" + std::to_string(i)), entries[i]);
    EXPECT_EQ(entries[0]->bRecent, 0);
    for (int i = 1; i < 11; ++i) EXPECT_EQ(entries[i]->bRecent, 1) << i;
    // The first is still found, and back on the list in place of the oldest one there.
    EXPECT_EQ(table.Find("/p0"), entries[0]);
    EXPECT_EQ(entries[0]->bRecent, 1);
    EXPECT_EQ(entries[1]->bRecent, 0);
    EXPECT_EQ(table.Find("/missing"), nullptr);
}

TEST_F(FileManagerTable, ResetForgetsEveryHandle) {
    table.GetHandle("/a");
    table.GetHandle("/b");
    table.Reset();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.GetPath(RecordOf(0).data(), 64), nullptr);
    EXPECT_EQ(table.Find("/a"), nullptr);
    EXPECT_EQ(table.GetFileId("/b"), 0u);
}

// A linear scan would make this take minutes; the index keeps each lookup constant.
TEST_F(FileManagerTable, FindsEveryPathAmongManyEntries) {
    const uint32_t count = 200000;
    for (uint32_t i = 0; i < count; ++i) table.Add("/share/folder/file" + std::to_string(i));
    for (uint32_t i = 0; i < count; i += 7) {
        ASSERT_EQ(table.GetFileId("/share/folder/file" + std::to_string(i)), i);
    }
    EXPECT_EQ(table.GetFileId("/share/folder/file" + std::to_string(count - 1)), count - 1);
    EXPECT_EQ(table.Count(), count);
}

}  // namespace

namespace {

class FileManagerOnDisk : public ::testing::Test {
  protected:
    std::string At(const std::string& name) const { return dir.Join(name); }
    TempDir dir;
    CDorvelFileManager table;
};

TEST_F(FileManagerOnDisk, RenameMovesTheFileAndKeepsTheHandle) {
    ASSERT_TRUE(dir.MakeFile("a.avi", "film"));
    std::vector<uint8_t> handle = Record(table.GetHandle(At("a.avi")));
    ASSERT_TRUE(table.Rename(At("a.avi"), At("b.avi")));
    EXPECT_EQ(dir.Contents("b.avi"), "film");
    EXPECT_FALSE(dir.Exists("a.avi"));
    EXPECT_EQ(table.GetPath(handle.data(), 64), At("b.avi"));
    EXPECT_EQ(table.Find(At("a.avi")), nullptr);
    EXPECT_EQ(Record(table.GetHandle(At("b.avi"))), handle);
}

TEST_F(FileManagerOnDisk, RenameRefusalsLeaveHostAndTableAlone) {
    ASSERT_TRUE(dir.MakeFile("never-entered.avi", "x"));
    EXPECT_FALSE(table.Rename(At("never-entered.avi"), At("moved.avi")));
    EXPECT_TRUE(dir.Exists("never-entered.avi"));
    EXPECT_FALSE(dir.Exists("moved.avi"));

    ASSERT_TRUE(dir.MakeFile("a.avi", "a"));
    ASSERT_TRUE(dir.MakeFile("b.avi", "b"));
    table.GetHandle(At("a.avi"));
    EXPECT_FALSE(table.Rename(At("a.avi"), At("b.avi")));
    EXPECT_EQ(dir.Contents("a.avi"), "a");
    EXPECT_EQ(dir.Contents("b.avi"), "b");
    EXPECT_NE(table.Find(At("a.avi")), nullptr);
}

// A rename onto a path another entry already holds leaves two entries with that path; the
// lowest-numbered one answers once the renamed entry has left the recent list.
TEST_F(FileManagerOnDisk, RenameOntoAPathAnotherEntryHolds) {
    ASSERT_TRUE(dir.MakeFile("old.avi", "o"));
    uint32_t target = table.GetFileId(At("new.avi"));  // entered, but not on the disk
    uint32_t moved = table.GetFileId(At("old.avi"));
    ASSERT_TRUE(table.Rename(At("old.avi"), At("new.avi")));
    EXPECT_EQ(table.GetFileId(At("new.avi")), moved) << "found on the recent list first";
    for (int i = 0; i < 10; ++i) table.GetHandle("/other" + std::to_string(i));
    for (int i = 0; i < 10; ++i) table.Find("/other" + std::to_string(i));
    EXPECT_EQ(table.GetFileId(At("new.avi")), target);
}

TEST_F(FileManagerOnDisk, PathExistsWantsTheStoredSpelling) {
    ASSERT_TRUE(dir.MakeFile("a.avi"));
    EXPECT_TRUE(PathExists(At("a.avi")));
    EXPECT_FALSE(PathExists(At("A.AVI")));
    EXPECT_FALSE(PathExists(At("missing")));
    EXPECT_FALSE(PathExists(At("a.*")));
    EXPECT_FALSE(PathExists(At("?.avi")));
    // Paths ending in a dot are taken to exist without asking the host.
    EXPECT_TRUE(PathExists(At("missing") + hostfs::Fs().Separator() + ".."));
    EXPECT_TRUE(PathExists("D:\\."));
    EXPECT_FALSE(PathExists(""));
}

}  // namespace
