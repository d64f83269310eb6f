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

// The record of the entry `index` of a table with `stamp`: both least significant byte first.
std::vector<uint8_t> RecordOf(uint32_t index, uint32_t stamp) {
    std::vector<uint8_t> record(CDorvelFileManager::kHandleSize, 0);
    for (int i = 0; i < 4; ++i) {
        record[i] = uint8_t(index >> (8 * i));
        record[4 + i] = uint8_t(stamp >> (8 * i));
    }
    return record;
}

class FileManagerTable : public ::testing::Test {
  protected:
    std::vector<uint8_t> RecordOf(uint32_t index) const { return ::RecordOf(index, table.Stamp()); }
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
    std::vector<uint8_t> second = RecordOf(2048);
    EXPECT_EQ(std::vector<uint8_t>(second.begin(), second.begin() + 4),
              (std::vector<uint8_t>{0x00, 0x08, 0x00, 0x00}));
    ASSERT_NE(table.GetPath(second.data(), 8), nullptr) << "index and stamp are enough";
    EXPECT_STREQ(table.GetPath(second.data(), 8), "/share/f2048");
    EXPECT_STREQ(table.GetPath(RecordOf(2047).data(), 32), "/share/f2047");
    // Stale: the index not yet given, one beyond, and a handle too short to hold the stamp.
    EXPECT_EQ(table.GetPath(RecordOf(2049).data(), 64), nullptr);
    EXPECT_EQ(table.GetPath(RecordOf(0xFFFFFFFF).data(), 64), nullptr);
    EXPECT_EQ(table.GetPath(second.data(), 7), nullptr);
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

// A client keeps its handles across a stop and start of the server; the indexes are handed out
// again from 0, and only the stamp keeps an old handle from naming the new entry of its index.
TEST_F(FileManagerTable, ResetMakesEveryEarlierHandleStale) {
    std::vector<uint8_t> a = Record(table.GetHandle("/a"));
    table.GetHandle("/b");
    const uint32_t before = table.Stamp();
    table.Reset();
    EXPECT_NE(table.Stamp(), before);
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.Find("/a"), nullptr);
    EXPECT_EQ(table.GetFileId("/b"), 0u) << "the index of /a now names /b";
    EXPECT_EQ(table.GetPath(a.data(), 64), nullptr);
    EXPECT_STREQ(table.GetPath(RecordOf(0).data(), 64), "/b");
    for (int i = 0; i < 20; ++i) {
        const uint32_t previous = table.Stamp();
        table.Reset();
        EXPECT_NE(table.Stamp(), previous);
        EXPECT_NE(table.Stamp(), 0u);
    }
    CDorvelFileManager another;
    EXPECT_NE(another.Stamp(), table.Stamp()) << "another run's table";
    EXPECT_EQ(another.GetPath(RecordOf(0).data(), 64), nullptr);
}

class FileManagerOnDisk : public ::testing::Test {
  protected:
    std::string At(const std::string& name) const { return dir.Join(name); }
    TempDir dir;
    CDorvelFileManager table;
};

TEST_F(FileManagerOnDisk, RenameMovesTheFileAndKeepsTheHandle) {
    ASSERT_TRUE(dir.MakeFile("a.avi", "film"));
    std::vector<uint8_t> handle = Record(table.GetHandle(At("a.avi")));
    ASSERT_EQ(table.Rename(At("a.avi"), At("b.avi")), hostfs::HostError::kNone);
    EXPECT_EQ(dir.Contents("b.avi"), "film");
    EXPECT_FALSE(dir.Exists("a.avi"));
    EXPECT_EQ(table.GetPath(handle.data(), 64), At("b.avi"));
    EXPECT_EQ(table.Find(At("a.avi")), nullptr);
    EXPECT_EQ(Record(table.GetHandle(At("b.avi"))), handle);
}

TEST_F(FileManagerOnDisk, RenameMovesWhatTheTableHasNotMetAndRefusesAnExistingTarget) {
    ASSERT_TRUE(dir.MakeFile("never-entered.avi", "x"));
    EXPECT_EQ(table.Rename(At("never-entered.avi"), At("moved.avi")), hostfs::HostError::kNone);
    EXPECT_EQ(dir.Contents("moved.avi"), "x");
    EXPECT_EQ(table.Count(), 0u);

    ASSERT_TRUE(dir.MakeFile("a.avi", "a"));
    ASSERT_TRUE(dir.MakeFile("b.avi", "b"));
    table.GetHandle(At("a.avi"));
    EXPECT_EQ(table.Rename(At("a.avi"), At("b.avi")), hostfs::HostError::kExists);
    EXPECT_EQ(dir.Contents("a.avi"), "a");
    EXPECT_EQ(dir.Contents("b.avi"), "b");
    EXPECT_NE(table.Find(At("a.avi")), nullptr);
}

// Handles of everything inside a moved folder follow it, however deep; a sibling whose name
// merely starts with the folder's stays.
TEST_F(FileManagerOnDisk, RenameOfAFolderMovesTheEntriesBelowIt) {
    ASSERT_TRUE(dir.MakeFolder("Films/2024") && dir.MakeFolder("Films2"));
    ASSERT_TRUE(dir.MakeFile("Films/2024/a.avi", "a") && dir.MakeFile("Films2/b.avi", "b"));
    const std::vector<std::string> names = {"Films/2024/a.avi", "Films/2024", "Films2/b.avi"};
    std::vector<std::vector<uint8_t>> handles;
    for (const std::string& name : names) handles.push_back(Record(table.GetHandle(At(name))));
    ASSERT_EQ(table.Rename(At("Films"), At("Moved")), hostfs::HostError::kNone);
    EXPECT_EQ(table.GetPath(handles[0].data(), 64), At("Moved/2024/a.avi"));
    EXPECT_EQ(table.GetPath(handles[1].data(), 64), At("Moved/2024"));
    EXPECT_EQ(table.GetPath(handles[2].data(), 64), At("Films2/b.avi"));
    EXPECT_EQ(Record(table.GetHandle(At("Moved/2024/a.avi"))), handles[0]);
    EXPECT_EQ(table.Find(At("Films/2024/a.avi")), nullptr);
}

// A rename onto a path another entry already holds leaves two entries with that path; the
// lowest-numbered one answers once the renamed entry has left the recent list.
TEST_F(FileManagerOnDisk, RenameOntoAPathAnotherEntryHolds) {
    ASSERT_TRUE(dir.MakeFile("old.avi", "o"));
    uint32_t target = table.GetFileId(At("new.avi"));  // entered, but not on the disk
    uint32_t moved = table.GetFileId(At("old.avi"));
    ASSERT_EQ(table.Rename(At("old.avi"), At("new.avi")), hostfs::HostError::kNone);
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
    EXPECT_FALSE(PathExists(""));
    // Where the host settles trailing dots itself (Windows), a path ending in one is taken to
    // exist; on POSIX the host is asked like for any name.
    const bool settled = hostfs::Fs().SettlesTrailingDots();
    const char separator = hostfs::Fs().Separator();
    EXPECT_EQ(PathExists(At("missing") + separator + ".."), settled);
    EXPECT_EQ(PathExists(At("missing.")), settled);
    EXPECT_EQ(PathExists("D:\\."), settled);
    EXPECT_TRUE(PathExists(dir.Path() + separator + "."));
}

// Windows opens notes.txt for "Notes.TXT"; a create under that name must know.
TEST_F(FileManagerOnDisk, TheHostsMatchOfANameIsExactLooseOrNone) {
    ASSERT_TRUE(dir.MakeFile("notes.txt"));
    const bool windows = hostfs::Fs().Separator() == '\\';
    EXPECT_EQ(MatchOnHost(At("notes.txt")), HostMatch::kExact);
    EXPECT_EQ(MatchOnHost(At("missing.txt")), HostMatch::kNone);
    const HostMatch loose = windows ? HostMatch::kOtherSpelling : HostMatch::kNone;
    EXPECT_EQ(MatchOnHost(At("Notes.TXT")), loose);
    EXPECT_EQ(MatchOnHost(At("notes.txt ")), loose);
    EXPECT_EQ(MatchOnHost(At("notes.txt.")), loose);
}

}  // namespace
