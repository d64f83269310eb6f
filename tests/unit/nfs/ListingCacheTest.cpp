#include <gtest/gtest.h>

#include <algorithm>
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
// listings it opens and those still open. Puts itself in front for its lifetime.
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
        return std::make_unique<Walk>(it->second.names, open);
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

    // A folder of `count` names "<prefix>0", "<prefix>1" ...
    Folder& Make(const std::string& path, size_t count, const std::string& prefix = "n") {
        Folder& folder = folders[path];
        folder.status.kind = hostfs::FileKind::kDirectory;
        for (size_t i = 0; i < count; ++i) folder.names.push_back(prefix + std::to_string(i));
        return folder;
    }

    std::map<std::string, Folder> folders;
    int lists = 0;
    int open = 0;

  private:
    // A copy of the names as they were when the walk began.
    class Walk final : public hostfs::IListing {
      public:
        Walk(std::vector<std::string> names, int& open)
            : m_names(std::move(names)), m_open(++open) {}
        ~Walk() override { --m_open; }
        bool Next(std::string& name) override {
            if (m_next == m_names.size()) return false;
            name = m_names[m_next++];
            return true;
        }

      private:
        std::vector<std::string> m_names;
        int& m_open;
        size_t m_next = 0;
    };
};

// The names of one call of `count` entries, answered as a procedure answers them.
std::vector<std::string> Piece(ListingCache& cache, const ListingCall& call, uint32_t count,
                               uint64_t* verifier = nullptr) {
    FolderListing& listing = cache.Serve(call, count);
    std::vector<std::string> names;
    for (uint32_t p = call.position; p < call.position + count && listing.At(p); ++p) {
        names.emplace_back(listing.At(p)->name);
    }
    listing.Answered(call.position + static_cast<uint32_t>(names.size()));
    if (verifier != nullptr) *verifier = listing.Verifier();
    return names;
}

std::vector<std::string> Slice(const std::vector<std::string>& names, size_t first, size_t count) {
    first = std::min(first, names.size());
    return {names.begin() + first, names.begin() + std::min(names.size(), first + count)};
}

}  // namespace

// Which calls a kept listing answers. Every other call is a new listing, read from the host; no
// walk stays open after a call, and a failed one is not kept.
TEST(ListingCacheTest, OnlyAContinuationOfAListingComesFromWhatItKept) {
    constexpr int kNone = -1, kUnknown = -2;
    struct Step {
        const char* what;
        const char* folder;
        uint32_t position;
        int verifierOf;  // the step whose verifier the call sends, or kNone (0) or kUnknown
        const char* client;
        int walks;  // in all, after the step
    };
    const Step steps[] = {
        {"a start", "/f", 0, kNone, "A", 1},
        {"its continuation", "/f", 10, 0, "A", 1},
        {"a jump ahead in it", "/f", 25, 0, "B", 1},
        {"a step back in it", "/f", 5, 0, "A", 1},
        {"a start again", "/f", 0, 0, "A", 2},
        {"without a verifier, where the last reply ended", "/f", 10, kNone, "A", 2},
        {"without a verifier, the same piece again", "/f", 10, kNone, "A", 2},
        {"without a verifier, from another client", "/f", 20, kNone, "B", 3},
        {"without a verifier, elsewhere", "/f", 7, kNone, "A", 4},
        {"with a verifier of no listing", "/f", 10, kUnknown, "A", 5},
        {"with the verifier, another folder", "/g", 1, 0, "A", 6},
        {"a folder the host cannot list", "/none", 0, kNone, "A", 7},
        {"its continuation", "/none", 1, 11, "A", 8},
    };
    FolderFs fs;
    fs.Make("/f", 30);
    fs.Make("/g", 5);
    ListingCache cache;
    std::vector<uint64_t> verifiers;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.what) + " at " + std::to_string(step.position));
        uint64_t sent = step.verifierOf == kNone      ? 0
                        : step.verifierOf == kUnknown ? verifiers[0] + 1000
                                                      : verifiers[step.verifierOf];
        ListingCall call{step.folder, step.client, step.position, sent};
        uint64_t verifier = 0;
        std::vector<std::string> piece = Piece(cache, call, 10, &verifier);
        verifiers.push_back(verifier);
        EXPECT_NE(verifier, 0u);
        const std::string folder = step.folder;
        EXPECT_EQ(piece, Slice(fs.folders.count(folder) ? fs.folders[folder].names
                                                        : std::vector<std::string>{},
                               step.position, 10));
        EXPECT_EQ(fs.lists, step.walks);
        EXPECT_EQ(fs.open, 0);
    }
    EXPECT_EQ(verifiers[1], verifiers[0]) << "a continuation keeps its listing's verifier";
    EXPECT_NE(verifiers[4], verifiers[0]) << "a new listing has a verifier of its own";
}

// A folder whose names pass the bound is read in order in a few walks, each keeping the names
// from where the client has come to; the memory stays within the bound.
TEST(ListingCacheTest, AFolderAboveTheBoundKeepsItsNamesPieceByPiece) {
    FolderFs fs;
    ListingCache cache;
    const size_t count = ListingCache::kBytesPerListing / 16;
    const std::vector<std::string>& names = fs.Make("/big", count, "a longer name, number ").names;
    uint64_t verifier = 0;
    size_t matching = 0;
    for (uint32_t first = 0; first < count; first += 1000) {
        std::vector<std::string> piece =
            Piece(cache, {"/big", "A", first, verifier}, 1000, &verifier);
        for (size_t i = 0; i < piece.size(); ++i) matching += piece[i] == names[first + i];
        EXPECT_LE(cache.KeptBytes(), ListingCache::kBytesPerListing);
    }
    EXPECT_EQ(matching, count);
    EXPECT_EQ(fs.lists, 3) << "the bound holds about 59,000 names of this length";
}

// The listing used longest ago makes room for another.
TEST(ListingCacheTest, OnlyTheLastFewListingsAreKept) {
    FolderFs fs;
    ListingCache cache;
    const int listings = static_cast<int>(ListingCache::kListings) + 1;
    std::vector<uint64_t> verifiers(listings);
    for (int i = 0; i < listings; ++i) {
        fs.Make("/f" + std::to_string(i), 3);
        Piece(cache, {"/f" + std::to_string(i), "A", 0, 0}, 1, &verifiers[i]);
    }
    for (int i = listings - 1; i >= 1; --i) {
        Piece(cache, {"/f" + std::to_string(i), "A", 1, verifiers[i]}, 1);
    }
    EXPECT_EQ(fs.lists, listings) << "the last ones are all kept";
    Piece(cache, {"/f0", "A", 1, verifiers[0]}, 1);
    EXPECT_EQ(fs.lists, listings + 1);
}
