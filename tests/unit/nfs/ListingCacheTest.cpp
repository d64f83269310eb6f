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
        bool stated = true;         // whether Status answers
        size_t failsAt = SIZE_MAX;  // the walk fails instead of giving this name
    };

    FolderFs() { hostfs::SetFs(this); }
    ~FolderFs() override { hostfs::SetFs(nullptr); }

    char Separator() const override { return '/'; }
    bool IsPlainName(const char*, size_t) const override { return true; }
    bool SettlesTrailingDots() const override { return false; }
    bool FindStoredName(PathView, PathText&) override { return false; }
    bool RealLocation(PathView, PathText&) override { return false; }
    std::unique_ptr<hostfs::IListing> List(PathView folder) override {
        ++lists;
        auto it = folders.find(std::string(folder.view()));
        if (it == folders.end()) return nullptr;
        return std::make_unique<Walk>(it->second.names, it->second.failsAt, open);
    }
    HostError Status(PathView path, FileStatus& status) override {
        auto it = folders.find(std::string(path.view()));
        if (it == folders.end() || !it->second.stated) return HostError::kNotFound;
        status = it->second.status;
        return HostError::kNone;
    }
    HostError Open(PathView, hostfs::OpenMode, bool, std::unique_ptr<hostfs::IHostFile>&) override {
        return HostError::kOther;
    }
    HostError SetPermissions(PathView, bool, bool) override { return HostError::kOther; }
    HostError SetSize(PathView, uint64_t) override { return HostError::kOther; }
    HostError SetTimes(PathView, const int64_t*, const int64_t*) override {
        return HostError::kOther;
    }
    HostError MakeFolder(PathView) override { return HostError::kOther; }
    HostError RemoveFolder(PathView) override { return HostError::kOther; }
    HostError RemoveFile(PathView) override { return HostError::kOther; }
    HostError Move(PathView, PathView) override { return HostError::kOther; }
    HostError FreeSpace(PathView, hostfs::DiskSpace&) override { return HostError::kOther; }
    hostfs::Presence FindWithStatus(PathView, PathText&, FileStatus&) override {
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
        Walk(std::vector<std::string> names, size_t failsAt, int& open)
            : m_names(std::move(names)), m_failsAt(failsAt), m_open(++open) {}
        ~Walk() override { --m_open; }
        bool Next(std::string& name) override {
            if (m_next == m_names.size() || m_next == m_failsAt) return false;
            name = m_names[m_next++];
            return true;
        }
        HostError Error() const override {
            return m_next == m_failsAt ? HostError::kOther : HostError::kNone;
        }

      private:
        std::vector<std::string> m_names;
        size_t m_failsAt;
        int& m_open;
        size_t m_next = 0;
    };
};

// The names of one call of up to `count` entries, answered as a procedure answers them, and the
// listing's verifier.
std::vector<std::string> Piece(ListingCache& cache, const ListingCall& call, uint32_t count,
                               uint64_t& verifier) {
    FolderListing& listing = cache.Serve(call, count);
    std::vector<std::string> names;
    for (uint32_t p = call.position; names.size() < count && listing.At(p); ++p) {
        names.emplace_back(listing.At(p)->name);
    }
    listing.Answered(call.position + static_cast<uint32_t>(names.size()));
    verifier = listing.Verifier();
    return names;
}

}  // namespace

// Which calls a kept listing answers. Every other call is a new listing, read from the host; no
// walk stays open after a call, a failed one is not kept, and the listing used longest ago makes
// room for a new one.
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
        {"a folder whose walk fails midway", "/broken", 0, kNone, "A", 9},
        {"its continuation", "/broken", 10, 13, "A", 10},
        {"the first listing, dropped since for newer ones", "/f", 10, 0, "A", 11},
    };
    FolderFs fs;
    fs.Make("/f", 30);
    fs.Make("/g", 5);
    fs.Make("/broken", 30).failsAt = 15;
    ListingCache cache;
    std::vector<uint64_t> verifiers;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.what) + " at " + std::to_string(step.position));
        const uint64_t sent = step.verifierOf == kNone      ? 0
                              : step.verifierOf == kUnknown ? verifiers[0] + 1000
                                                            : verifiers[step.verifierOf];
        verifiers.push_back(0);
        auto folder = fs.folders.find(step.folder);
        std::vector<std::string> names;
        if (folder != fs.folders.end()) {
            names = folder->second.names;
            names.resize(std::min(names.size(), folder->second.failsAt));
        }
        names.erase(names.begin(), names.begin() + std::min<size_t>(step.position, names.size()));
        names.resize(std::min<size_t>(names.size(), 10));
        EXPECT_EQ(
            Piece(cache, {step.folder, step.client, step.position, sent}, 10, verifiers.back()),
            names);
        EXPECT_NE(verifiers.back(), 0u);
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
    std::vector<std::string> read;
    for (uint32_t first = 0; first < count; first += 1000) {
        std::vector<std::string> piece =
            Piece(cache, {"/big", "A", first, verifier}, 1000, verifier);
        read.insert(read.end(), piece.begin(), piece.end());
        EXPECT_LE(cache.KeptBytes(), ListingCache::kBytesPerListing);
    }
    EXPECT_EQ(read, names);
    EXPECT_EQ(fs.lists, 3) << "the bound holds about 59,000 names of this length";
}
