#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HostFs.h"
#include "ListingCache.h"

using hostfs::FileStatus;
using hostfs::HostError;

namespace {

// Folders held in memory: their names in a fixed order and a status the test sets. Counts the
// listings it opens. Puts itself in front for its lifetime.
class FolderFs final : public hostfs::IHostFs {
  public:
    struct Folder {
        FileStatus status;
        std::vector<std::string> names;
        bool stated = true;  // whether Status answers
    };

    FolderFs() { hostfs::SetFs(this); }
    ~FolderFs() override { hostfs::SetFs(nullptr); }

    char Separator() const override { return '/'; }
    bool IsPlainName(const char*, size_t) const override { return true; }
    bool SettlesTrailingDots() const override { return false; }
    bool FindStoredName(const std::string&, std::string&) override { return false; }
    bool RealLocation(const std::string&, std::string&) override { return false; }
    std::unique_ptr<hostfs::IListing> List(const std::string& folder) override {
        ++lists;
        auto it = folders.find(folder);
        if (it == folders.end()) return nullptr;
        return std::make_unique<Walk>(it->second.names);
    }
    bool Status(const std::string& path, FileStatus& status) override {
        auto it = folders.find(path);
        if (it == folders.end() || !it->second.stated) return false;
        status = it->second.status;
        return true;
    }
    std::unique_ptr<hostfs::IHostFile> Open(const std::string&, hostfs::OpenMode, bool) override {
        return nullptr;
    }
    bool SetPermissions(const std::string&, bool, bool) override { return false; }
    bool SetSize(const std::string&, uint64_t) override { return false; }
    bool SetTimes(const std::string&, const int64_t*, const int64_t*) override { return false; }
    HostError MakeFolder(const std::string&) override { return HostError::kOther; }
    HostError RemoveFolder(const std::string&) override { return HostError::kOther; }
    HostError RemoveFile(const std::string&) override { return HostError::kOther; }
    HostError Move(const std::string&, const std::string&) override { return HostError::kOther; }
    hostfs::SpaceResult FreeSpace(const std::string&, hostfs::DiskSpace&) override {
        return hostfs::SpaceResult::kFailed;
    }
    hostfs::Presence FindWithStatus(const std::string&, std::string&, FileStatus&) override {
        return hostfs::Presence::kNone;
    }

    // A folder of `count` names "<prefix>0", "<prefix>1" ..., last changed at `changed`.
    Folder& Make(const std::string& path, size_t count, int64_t changed,
                 const std::string& prefix = "n") {
        Folder& folder = folders[path];
        folder.status.kind = hostfs::FileKind::kDirectory;
        folder.status.mtime = folder.status.ctime = changed;
        for (size_t i = 0; i < count; ++i) folder.names.push_back(prefix + std::to_string(i));
        return folder;
    }

    std::map<std::string, Folder> folders;
    int lists = 0;

  private:
    // A copy of the names as they were when the walk began.
    class Walk final : public hostfs::IListing {
      public:
        explicit Walk(std::vector<std::string> names) : m_names(std::move(names)) {}
        bool Next(std::string& name) override {
            if (m_next == m_names.size()) return false;
            name = m_names[m_next++];
            return true;
        }

      private:
        std::vector<std::string> m_names;
        size_t m_next = 0;
    };
};

int64_t g_now = 0;
int64_t Now() {
    return g_now;
}

// Every name from `first` on, as the cache gives them now, at most `most`.
std::vector<std::string> NamesFrom(ListingCache& cache, const std::string& folder, uint32_t first,
                                   size_t most = 1000) {
    FolderNames& listing = cache.Of(folder);
    std::vector<std::string> names;
    for (uint32_t p = first; names.size() < most; ++p) {
        const ListedName* entry = listing.At(p);
        if (entry == nullptr) break;
        names.push_back(entry->name);
    }
    return names;
}

}  // namespace

// A listing read at `first` (the folder last changed at `changed`), then the folder changed or
// not, then read again at `second`: kept only while nothing can have changed unseen.
TEST(ListingCacheTest, AKeptListingServesOnlyWhileTheFolderIsAsItWas) {
    enum class Change { kNone, kAdd, kRemove };
    struct Case {
        const char* what;
        int64_t changed, first;
        Change change;
        FolderStamp after;  // the stamp's change (added to it)
        int64_t second;
        int walks;
    };
    const Case cases[] = {
        {"unchanged, soon after", 100, 110, Change::kNone, {}, 111, 1},
        {"unchanged, still at the end of the lifetime", 100, 110, Change::kNone, {}, 114, 1},
        {"unchanged, but the lifetime is over", 100, 110, Change::kNone, {}, 115, 2},
        {"unchanged, but the clock went back", 100, 110, Change::kNone, {}, 109, 2},
        {"unchanged, still for just long enough", 108, 110, Change::kNone, {}, 111, 1},
        {"unchanged, but still for too short a while", 109, 110, Change::kNone, {}, 111, 2},
        {"added, the times moved", 100, 110, Change::kAdd, {11, 11, 0, 0}, 111, 2},
        {"removed, only the status time moved", 100, 110, Change::kRemove, {0, 1, 0, 0}, 111, 2},
        {"added, only the size moved", 100, 110, Change::kAdd, {0, 0, 4096, 0}, 111, 2},
        {"added, only the links moved", 100, 110, Change::kAdd, {0, 0, 0, 1}, 111, 2},
        {"added in the second of the last change", 110, 110, Change::kAdd, {}, 110, 2},
        {"removed in the second of the last change", 110, 110, Change::kRemove, {}, 110, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FolderFs fs;
        ListingCache cache(Now);
        FolderFs::Folder& folder = fs.Make("/f", 5, c.changed);
        g_now = c.first;
        ASSERT_EQ(NamesFrom(cache, "/f", 0), folder.names);
        if (c.change == Change::kAdd) folder.names.push_back("new");
        if (c.change == Change::kRemove) folder.names.erase(folder.names.begin() + 2);
        folder.status.mtime += c.after.mtime;
        folder.status.ctime += c.after.ctime;
        folder.status.size += c.after.size;
        folder.status.links += c.after.links;
        g_now = c.second;
        EXPECT_EQ(NamesFrom(cache, "/f", 0), folder.names);
        EXPECT_EQ(fs.lists, c.walks);
    }
}

TEST(ListingCacheTest, AFolderWithoutStatusIsWalkedAfresh) {
    FolderFs fs;
    ListingCache cache(Now);
    g_now = 1000;
    fs.Make("/f", 3, 0).stated = false;
    for (int call = 0; call < 3; ++call) EXPECT_EQ(NamesFrom(cache, "/f", 1).size(), 2u);
    EXPECT_EQ(fs.lists, 3);
}

// Pieces in order, a piece asked for again, a step back, positions past the end: each answers
// what a fresh walk would, and only the step back walks again.
TEST(ListingCacheTest, PiecesComeFromOneWalk) {
    FolderFs fs;
    ListingCache cache(Now);
    g_now = 1000;
    const std::vector<std::string>& names = fs.Make("/f", 1000, 0).names;
    std::vector<std::string> read;
    for (uint32_t first = 0; first < 1000; first += 10) {
        std::vector<std::string> piece = NamesFrom(cache, "/f", first, 10);
        EXPECT_EQ(NamesFrom(cache, "/f", first, 10), piece) << first;
        read.insert(read.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(read, names);
    EXPECT_TRUE(NamesFrom(cache, "/f", 1000).empty());
    EXPECT_TRUE(NamesFrom(cache, "/f", 0xFFFFFFFF).empty());
    EXPECT_EQ(fs.lists, 1);
    EXPECT_EQ(NamesFrom(cache, "/f", 0, 1), std::vector<std::string>{"n0"});
    EXPECT_EQ(fs.lists, 1) << "a folder this small is kept whole";
    cache.Forget();
    EXPECT_EQ(NamesFrom(cache, "/f", 999), std::vector<std::string>{"n999"});
    EXPECT_EQ(fs.lists, 2);
}

// A folder above the byte bound keeps its last names and the walk: in order it is still one walk,
// and the memory stays within the bound.
TEST(ListingCacheTest, AFolderAboveTheBoundKeepsOnlyItsLastNames) {
    FolderFs fs;
    ListingCache cache(Now);
    g_now = 1000;
    const size_t count = ListingCache::kBytesPerFolder / sizeof(ListedName);
    const std::vector<std::string>& names = fs.Make("/big", count, 0, "a long name, number ").names;
    size_t matching = 0;
    for (uint32_t first = 0; first < count; first += 1000) {
        std::vector<std::string> piece = NamesFrom(cache, "/big", first, 1000);
        for (size_t i = 0; i < piece.size(); ++i) matching += piece[i] == names[first + i];
        EXPECT_LE(cache.KeptBytes(), ListingCache::kBytesPerFolder);
    }
    EXPECT_EQ(matching, count);
    EXPECT_EQ(fs.lists, 1);
    EXPECT_EQ(NamesFrom(cache, "/big", 0, 1), std::vector<std::string>{names[0]});
    EXPECT_EQ(fs.lists, 2) << "the first names were no longer kept";
}

// The folder used longest ago makes room for another.
TEST(ListingCacheTest, OnlyTheLastFewFoldersAreKept) {
    FolderFs fs;
    ListingCache cache(Now);
    g_now = 1000;
    const int folders = static_cast<int>(ListingCache::kFolders) + 1;
    for (int i = 0; i < folders; ++i) fs.Make("/f" + std::to_string(i), 3, 0);
    for (int i = 0; i < folders; ++i) NamesFrom(cache, "/f" + std::to_string(i), 0);
    EXPECT_EQ(fs.lists, folders);
    for (int i = folders - 1; i >= 1; --i) NamesFrom(cache, "/f" + std::to_string(i), 0);
    EXPECT_EQ(fs.lists, folders) << "the last ones are all kept";
    NamesFrom(cache, "/f0", 0);
    EXPECT_EQ(fs.lists, folders + 1);
}
