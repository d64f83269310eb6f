#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "DorvelFileManager.h"
#include "FaultyFs.h"
#include "HostFs.h"
#include "ListingCache.h"
#include "Nfs2Types.h"
#include "Nfs3Reply.h"
#include "NfsTestbed.h"
#include "QDV_NFSManager.h"

namespace {

constexpr uint32_t kRename = 14, kReadDir = 16, kReadDirPlus = 17, kFsStat = 18, kFsInfo = 19;

using hostfs::HostError;

struct Entry {
    uint64_t fileid = 0;
    std::string name;
    uint64_t cookie = 0;
    bool attributes = false;
    std::vector<uint8_t> handle;
};

struct Listing {
    uint32_t status = 0;
    uint64_t cookieverf = 0;
    std::vector<Entry> entries;
    bool eof = false;
    size_t resultBytes = 0;  // everything after the accept status
};

Listing ReadListing(WordReader reply, bool plus) {
    Listing listing;
    listing.resultBytes = reply.Left();
    listing.status = reply.Word();
    Decoded<post_op_attr>(reply);
    if (listing.status != 0) return listing;
    listing.cookieverf = reply.Hyper();
    while (ReadBool(reply)) {
        entryplus3 read;
        if (plus) {
            Read(reply, read);
        } else {
            Read(reply, read.entry);
        }
        const entry3& entry = read.entry;
        listing.entries.push_back({entry.fileid, std::string(entry.name), entry.cookie,
                                   read.name_attributes.attributes_follow,
                                   read.name_handle.handle_follows
                                       ? BytesOf(read.name_handle.handle)
                                       : std::vector<uint8_t>{}});
    }
    listing.eof = ReadBool(reply);
    EXPECT_EQ(reply.Left(), 0u);
    return listing;
}

class Nfs3Listing : public ::testing::Test {
  protected:
    Nfs3Listing() {
        bed.nfs = std::make_unique<CQDV_NFSManager>();
        bed.daemon.Register(100003, bed.nfs.get());
        root = bed.Root(1);
    }

    // Fills share 1 so that its listing holds `total` entries, "." and ".." included.
    void FillTo(size_t total) {
        for (size_t i = 0; i + 2 < total; ++i) {
            ASSERT_TRUE(bed.Dir().MakeFile("share1/file" + std::to_string(1000 + i)));
        }
    }
    Listing ReadDir(uint64_t cookie, uint32_t count = 65536, uint64_t verifier = 0) {
        return ReadListing(
            bed.Nfs3(kReadDir, Handle(root).Hyper(cookie).Hyper(verifier).Word(count)), false);
    }
    Listing ReadDirPlus(uint64_t cookie, uint32_t maxcount = 65536, uint64_t verifier = 0) {
        return ReadListing(
            bed.Nfs3(kReadDirPlus,
                     Handle(root).Hyper(cookie).Hyper(verifier).Word(8192).Word(maxcount)),
            true);
    }

    // One reply of READDIR (version 2 or 3) or READDIRPLUS.
    Listing Page(uint32_t version, bool plus, uint64_t cookie, uint32_t count, uint64_t verifier) {
        if (version == 3) {
            return plus ? ReadDirPlus(cookie, count, verifier) : ReadDir(cookie, count, verifier);
        }
        const XdrBytes args = XdrBytes().Bytes(root.data(), 32).Word(uint32_t(cookie)).Word(count);
        WordReader reply = AfterHeader(bed.Call(100003, 2, kReadDir, args));
        EXPECT_EQ(reply.Word(), 0u) << "accepted";
        Listing page;
        page.resultBytes = reply.Left();
        if ((page.status = reply.Word()) != 0) return page;
        const readdirokres result = Decoded<readdirokres>(reply);
        for (const entry& item : result.entries) {
            page.entries.push_back({item.fileid, std::string(item.name), item.cookie, false, {}});
        }
        page.eof = result.eof;
        return page;
    }

    NfsTestbed bed;
    std::vector<uint8_t> root;
};

// Every way of reading a folder in pieces. Following the cookies from where the client starts
// gives the host's order from there, every name once, its ordinal for a cookie and its table
// index for a fileid (at a share's root, ".." is the share's own folder: nothing above it is the
// client's); READDIRPLUS adds attributes and the handle of that index. No reply carries more than
// the count asked for (version 2: but one entry, and at most one READ's worth), nor more entries
// than its version's window, and the host resolves the folder, not each entry. The folder is
// walked once for all the pieces, also by a client that sends no verifier. A walk that fails
// midway ends in the host's reason: the client gets the names before it, never the end of the
// listing.
TEST_F(Nfs3Listing, EveryListingInPiecesIsTheHostsFolderWalkedOnce) {
    FillTo(400);
    const std::vector<std::string> host = HostListing(bed.Share(1));
    const size_t failsAt = std::find(host.begin(), host.end(), "file1020") - host.begin();
    struct Case {
        const char* what;
        uint32_t version;
        bool plus;
        uint32_t count;
        uint32_t start;
        uint32_t window;  // the most entries one reply carries
        std::optional<Fault> fault;
        uint32_t endStatus;  // 0: the listing ends in eof
    };
    const Case cases[] = {
        {"READDIR in windows of 131", 3, false, 65536, 0, 131, {}, 0},
        {"READDIR in small counts", 3, false, 400, 0, 131, {}, 0},
        {"READDIRPLUS in windows of 10", 3, true, 65536, 0, 10, {}, 0},
        {"READDIRPLUS in small counts", 3, true, 1200, 0, 10, {}, 0},
        {"READDIRPLUS from the middle", 3, true, 65536, 25, 10, {}, 0},
        {"version 2 in small counts", 2, false, 256, 0, 400, {}, 0},
        {"version 2, one entry a reply", 2, false, 16, 0, 1, {}, 0},
        {"version 2, a count beyond one READ's", 2, false, 0xFFFFFFFF, 0, 400, {}, 0},
        {"version 2 from the middle", 2, false, 256, 30, 400, {}, 0},
        {"version 2, a folder the host cannot list", 2, false, 256, 0, 400, Fault::kList, 0},
        {"READDIR, a walk that fails midway", 3, false, 400, 0, 131, Fault::kListNext, 28},
        {"READDIRPLUS, a walk that fails midway", 3, true, 1200, 0, 10, Fault::kListNext, 28},
        {"version 2, a walk that fails midway", 2, false, 256, 0, 400, Fault::kListNext, 28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Listings().Forget();
        FaultyFs faulty;
        if (c.fault) {
            faulty.Fail(*c.fault, c.fault == Fault::kListNext ? "file1020" : "",
                        HostError::kNoSpace);
        }
        const size_t end = c.fault == Fault::kList ? c.start : c.fault ? failsAt : host.size();
        const std::vector<std::string> expected(host.begin() + c.start, host.begin() + end);
        const uint32_t bound = c.version == 2 ? std::min(c.count, 8192u) : c.count;
        std::vector<std::string> names;
        Listing page;
        int replies = 0;
        for (uint64_t cookie = c.start, verifier = 0; replies < 500; ++replies) {
            page = Page(c.version, c.plus, cookie, c.count, verifier);
            if (page.status != 0) break;
            EXPECT_LE(page.entries.size(), c.window);
            EXPECT_TRUE(page.resultBytes <= bound || page.entries.size() == 1) << page.resultBytes;
            const size_t full = c.count == 65536 && !page.eof ? c.window : page.entries.size();
            EXPECT_EQ(page.entries.size(), full) << "a large count fills the window";
            for (const Entry& entry : page.entries) {
                names.push_back(entry.name);
                EXPECT_EQ(entry.cookie, c.start + names.size());
                const uint32_t fileid = entry.name == ".."
                                            ? IndexOf(root)
                                            : FileManager().GetFileId(bed.InShare(1, entry.name));
                EXPECT_EQ(entry.fileid, fileid) << entry.name;
                EXPECT_EQ(entry.attributes, c.plus);
                EXPECT_EQ(c.plus ? IndexOf(entry.handle) : entry.fileid, entry.fileid);
            }
            if (page.eof || page.entries.empty()) break;
            cookie = page.entries.back().cookie;
            verifier = page.cookieverf;
        }
        EXPECT_EQ(page.status, c.endStatus);
        EXPECT_EQ(page.eof, c.endStatus == 0);
        EXPECT_EQ(names, expected);
        if (c.fault) continue;
        EXPECT_EQ(faulty.Calls(Fault::kList), 1);
        EXPECT_LE(faulty.Calls(Fault::kRealLocation), replies + 3) << "the folder, not each entry";
        const Listing beyond = Page(c.version, c.plus, host.size() + 7, c.count, 0);
        EXPECT_TRUE(beyond.entries.empty() && beyond.eof);
    }
}

// A change made through the server is listed at once.
TEST_F(Nfs3Listing, AChangeThroughTheServerIsListedAtOnce) {
    FillTo(5);
    FaultyFs faulty;
    ASSERT_EQ(ReadDir(0).entries.size(), 5u);
    XdrBytes rename = Handle(root).Text("file1000").Append(Handle(root).Text("renamed").Get());
    ASSERT_EQ(bed.Nfs3(kRename, rename).Word(), 0u);
    std::set<std::string> names;
    for (const Entry& entry : ReadDir(0).entries) names.insert(entry.name);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "file1001", "file1002", "renamed"}));
    EXPECT_EQ(faulty.Calls(Fault::kList), 2);
}

// A listing read in part, then another program adds and removes names without moving the
// folder's times (a FAT volume keeps none): a new listing shows the host as it is, and the old
// listing's continuation goes on with the picture its first reply came from.
TEST_F(Nfs3Listing, ANewListingSeesTheHostAsItIsAndAContinuationItsOwnPicture) {
    FillTo(40);
    FaultyFs faulty;
    faulty.FreezeFolderStamps(1000000000);
    for (bool plus : {false, true}) {
        auto page = [&](uint64_t cookie, uint64_t verifier) {
            return plus ? ReadDirPlus(cookie, 8192, verifier) : ReadDir(cookie, 400, verifier);
        };
        auto namesOn = [&](Listing part) {
            std::vector<std::string> names;
            for (int call = 0; call < 100 && !part.entries.empty(); ++call) {
                for (const Entry& entry : part.entries) names.push_back(entry.name);
                if (part.eof) break;
                part = page(part.entries.back().cookie, part.cookieverf);
            }
            return names;
        };
        const std::vector<std::string> before = HostListing(bed.Share(1));
        const Listing first = page(0, 0);
        ASSERT_FALSE(first.eof);
        const std::string gone = "file100" + std::to_string(plus);
        ASSERT_EQ(hostfs::Fs().RemoveFile(bed.InShare(1, gone)), hostfs::HostError::kNone);
        ASSERT_TRUE(bed.Dir().MakeFile("share1/new" + std::to_string(plus)));
        EXPECT_EQ(namesOn(page(0, 0)), HostListing(bed.Share(1))) << plus;
        EXPECT_EQ(namesOn(first), before) << plus;
    }
}

TEST_F(Nfs3Listing, ACountTooSmallForOneEntryIsTooSmall) {
    FillTo(5);
    Listing tiny = ReadDir(0, 100);
    EXPECT_EQ(tiny.status, 10005u);
    EXPECT_EQ(ReadDirPlus(0, 150).status, 10005u);
}

// The name is listed, but not the attributes and handle of what lies outside the shares.
TEST_F(Nfs3Listing, EntriesThatLeadOutOfTheSharesComeByNameAlone) {
    if (hostfs::Fs().Separator() == '\\') GTEST_SKIP() << "links are followed on POSIX only";
    ASSERT_TRUE(bed.Dir().MakeFile("secret.txt", "secret"));
    std::filesystem::create_symlink(bed.Dir().Join("secret.txt"), bed.InShare(1, "secret"));
    ASSERT_TRUE(bed.Dir().MakeFile("share1/plain.txt"));
    std::map<std::string, Entry> entries;
    for (const Entry& entry : ReadDirPlus(0).entries) entries[entry.name] = entry;
    ASSERT_EQ(entries.count("secret"), 1u);
    EXPECT_FALSE(entries["secret"].attributes);
    EXPECT_TRUE(entries["secret"].handle.empty());
    EXPECT_TRUE(entries["plain.txt"].attributes);
    EXPECT_EQ(entries["plain.txt"].handle.size(), 64u);
}

TEST_F(Nfs3Listing, ListingsOfUnknownOrMissingFolders) {
    std::vector<uint8_t> stale(64, 0xAB);
    WordReader reply = bed.Nfs3(kReadDir, Handle(stale).Hyper(0).Hyper(0).Word(4096));
    EXPECT_EQ(reply.Word(), 70u);
    EXPECT_EQ(reply.Word(), 0u);
    EXPECT_EQ(reply.Left(), 0u);

    ASSERT_TRUE(bed.Dir().MakeFolder("share1/gone"));
    std::vector<uint8_t> gone = bed.Lookup(root, "gone");
    ASSERT_EQ(hostfs::Fs().RemoveFolder(bed.InShare(1, "gone")), hostfs::HostError::kNone);
    WordReader missing = bed.Nfs3(kReadDirPlus, Handle(gone).Hyper(0).Hyper(0).Word(1).Word(4096));
    EXPECT_EQ(missing.Word(), 2u);
    EXPECT_EQ(missing.Word(), 0u);
    EXPECT_EQ(missing.Left(), 0u);
}

TEST_F(Nfs3Listing, FsInfoAdvertisesTheTransferSizes) {
    WordReader reply = bed.Nfs3(kFsInfo, Handle(root));
    ASSERT_EQ(reply.Word(), 0u);
    ASSERT_TRUE(Decoded<post_op_attr>(reply).attributes_follow);
    EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{32768, 32768, 512, 8192, 8192, 512, 8192,
                                                       0x7FFFFFFF, 0xFFFFFFFF, 1, 0, 0x10}));

    WordReader stale = bed.Nfs3(kFsInfo, Handle(std::vector<uint8_t>(64, 0xEE)));
    EXPECT_EQ(RestWords(stale), (std::vector<uint32_t>{70, 0}));
}

TEST_F(Nfs3Listing, FsStatReportsTheVolumeHoldingTheShare) {
    WordReader reply = bed.Nfs3(kFsStat, Handle(root));
    ASSERT_EQ(reply.Word(), 0u);
    FSSTAT3resok figures = Decoded<FSSTAT3resok>(reply);
    EXPECT_EQ(reply.Left(), 0u);
    EXPECT_TRUE(figures.obj_attributes.attributes_follow);
    EXPECT_GT(figures.tbytes, 0u);
    EXPECT_GE(figures.tbytes, figures.fbytes);
    EXPECT_EQ(figures.fbytes, figures.abytes);
    EXPECT_GE(figures.tfiles, figures.ffiles);
    EXPECT_EQ(figures.ffiles, figures.afiles);
    EXPECT_EQ(figures.invarsec, 0u);

    FaultyFs faulty;
    faulty.Fail(Fault::kFreeSpace);
    WordReader failed = bed.Nfs3(kFsStat, Handle(root));
    EXPECT_EQ(failed.Word(), 5u);
    EXPECT_EQ(faulty.Hits(Fault::kFreeSpace), 1);
}

TEST_F(Nfs3Listing, AFolderWhoseStatusFailsIsAnIoError) {
    FaultyFs faulty;
    faulty.Fail(Fault::kStatus);
    for (uint32_t procedure : {kFsInfo, kFsStat}) {
        WordReader reply = bed.Nfs3(procedure, Handle(root));
        EXPECT_EQ(reply.Word(), 5u);
        EXPECT_EQ(reply.Word(), 0u);
        EXPECT_EQ(reply.Left(), 0u);
    }
}

}  // namespace
