#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
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

enum Procedure : uint32_t {
    kRename = 14,
    kReadDir = 16,
    kReadDirPlus = 17,
    kFsStat = 18,
    kFsInfo = 19,
    kReadDir2 = 16,
};

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
    Nfs3Listing() { root = bed.Root(1); }

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

    NfsTestbed bed;
    std::vector<uint8_t> root;
};

TEST_F(Nfs3Listing, ReadDirListsEveryEntryWithCookiesFromOne) {
    for (const char* name : {"a.avi", "b.avi", "c.avi"})
        ASSERT_TRUE(bed.Dir().MakeFile(std::string("share1/") + name));
    Listing listing = ReadDir(0, 65536, 0x1122334455667788ull);
    ASSERT_EQ(listing.status, 0u);
    EXPECT_NE(listing.cookieverf, 0x1122334455667788ull) << "a new listing's own";
    ASSERT_EQ(listing.entries.size(), 5u);
    std::set<std::string> names;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        const Entry& entry = listing.entries[i];
        EXPECT_EQ(entry.cookie, i + 1);
        // Nothing above a share is the client's: there ".." is the share's own folder.
        const uint32_t fileid = entry.name == ".."
                                    ? IndexOf(root)
                                    : FileManager().GetFileId(bed.InShare(1, entry.name));
        EXPECT_EQ(entry.fileid, fileid) << entry.name;
        names.insert(entry.name);
    }
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "a.avi", "b.avi", "c.avi"}));
    EXPECT_TRUE(listing.eof);
}

TEST_F(Nfs3Listing, ReadDirAnswers131EntriesAtATime) {
    FillTo(200);
    Listing first = ReadDir(0);
    ASSERT_EQ(first.entries.size(), 131u);
    EXPECT_EQ(first.entries.back().cookie, 131u);
    EXPECT_FALSE(first.eof);
    Listing rest = ReadDir(131);
    ASSERT_EQ(rest.entries.size(), 69u);
    EXPECT_EQ(rest.entries.front().cookie, 132u);
    EXPECT_TRUE(rest.eof);
    Listing beyond = ReadDir(500);
    EXPECT_TRUE(beyond.entries.empty());
    EXPECT_TRUE(beyond.eof);
}

// Small counts split the listing; following the cookies gives the host's order, every name
// exactly once, and no reply is larger than the count asked for. The host's folder is walked
// once for all the pieces, also by a client that sends no cookie verifier, and whatever its times.
TEST_F(Nfs3Listing, RepliesStayWithinTheClientsCount) {
    FillTo(300);
    const std::vector<std::string> host = HostListing(bed.Share(1));
    for (bool frozen : {false, true}) {
        for (bool plus : {false, true}) {
            SCOPED_TRACE(std::string(frozen ? "frozen " : "") + (plus ? "plus" : "plain"));
            FaultyFs faulty;
            if (frozen) faulty.FreezeFolderStamps(1000000000);
            const uint32_t count = plus ? 1200 : 400;
            std::vector<std::string> order;
            uint64_t cookie = 0;
            bool eof = false;
            for (int call = 0; call < 400 && !eof; ++call) {
                Listing part = plus ? ReadDirPlus(cookie, count) : ReadDir(cookie, count);
                ASSERT_EQ(part.status, 0u);
                EXPECT_LE(part.resultBytes, count);
                ASSERT_FALSE(part.entries.empty());
                for (const Entry& entry : part.entries) {
                    order.push_back(entry.name);
                    EXPECT_EQ(entry.cookie, order.size());
                }
                cookie = part.entries.back().cookie;
                eof = part.eof;
            }
            EXPECT_TRUE(eof);
            EXPECT_EQ(order, host);
            EXPECT_EQ(faulty.Calls(Fault::kList), 1);
        }
    }
}

// A change made through the server is listed at once.
TEST_F(Nfs3Listing, AChangeThroughTheServerIsListedAtOnce) {
    bed.nfs = std::make_unique<CQDV_NFSManager>();
    bed.daemon.Register(100003, bed.nfs.get());
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

// A walk of the host's folder that fails midway is no whole listing: the client gets the names
// before the failure, then the host's reason, and never the end of the listing.
TEST_F(Nfs3Listing, AWalkThatFailsMidwayEndsInTheHostsReason) {
    bed.nfs = std::make_unique<CQDV_NFSManager>();
    bed.daemon.Register(100003, bed.nfs.get());
    FillTo(40);
    std::vector<std::string> before = HostListing(bed.Share(1));
    before.resize(std::find(before.begin(), before.end(), "file1020") - before.begin());
    FaultyFs faulty;
    faulty.Fail(Fault::kListNext, "file1020", HostError::kNoSpace);
    for (uint32_t version : {2u, 3u}) {
        std::vector<std::string> names;
        uint32_t status = 0;
        bool eof = false;
        for (int call = 0; call < 100 && status == 0 && !eof; ++call) {
            const uint32_t cookie = static_cast<uint32_t>(names.size());
            if (version == 2) {
                XdrBytes args = XdrBytes().Bytes(root.data(), 32).Word(cookie).Word(200);
                WordReader reply = AfterHeader(bed.Call(100003, 2, kReadDir2, args));
                ASSERT_EQ(reply.Word(), 0u);
                if ((status = reply.Word()) != 0) break;
                readdirokres page = Decoded<readdirokres>(reply);
                for (const entry& item : page.entries) names.push_back(item.name);
                eof = page.eof;
                continue;
            }
            Listing page = ReadDir(cookie, 400);
            status = page.status;
            for (const Entry& item : page.entries) names.push_back(item.name);
            eof = page.eof;
        }
        EXPECT_FALSE(eof) << version;
        EXPECT_EQ(status, 28u) << version;
        EXPECT_EQ(names, before) << version;
    }
}

TEST_F(Nfs3Listing, ACountTooSmallForOneEntryIsTooSmall) {
    FillTo(5);
    Listing tiny = ReadDir(0, 100);
    EXPECT_EQ(tiny.status, 10005u);
    EXPECT_EQ(ReadDirPlus(0, 150).status, 10005u);
}

// Entries that are no links lie where their folder does: the host resolves the folder, not each
// entry again.
TEST_F(Nfs3Listing, ReadDirPlusAnswersTenEntriesWithAttributesAndHandles) {
    FillTo(25);
    FaultyFs faulty;
    Listing first = ReadDirPlus(0);
    ASSERT_EQ(first.entries.size(), 10u);
    EXPECT_FALSE(first.eof);
    for (size_t i = 0; i < 10; ++i) {
        const Entry& entry = first.entries[i];
        EXPECT_EQ(entry.cookie, i + 1);
        EXPECT_TRUE(entry.attributes);
        ASSERT_EQ(entry.handle.size(), 64u);
        EXPECT_EQ(entry.handle[0] | (entry.handle[1] << 8), int(entry.fileid));
    }
    Listing second = ReadDirPlus(10);
    EXPECT_EQ(second.entries.size(), 10u);
    EXPECT_EQ(second.entries.front().cookie, 11u);
    EXPECT_FALSE(second.eof);
    Listing third = ReadDirPlus(20);
    EXPECT_EQ(third.entries.size(), 5u);
    EXPECT_TRUE(third.eof);
    Listing none = ReadDirPlus(25);
    EXPECT_TRUE(none.entries.empty());
    EXPECT_TRUE(none.eof);
    EXPECT_LT(faulty.Calls(Fault::kRealLocation), 10);
}

// Nothing above a share is the client's: at a share root, ".." is the root itself.
TEST_F(Nfs3Listing, TheParentOfAShareRootIsTheRootItself) {
    int parents = 0;
    for (const Entry& entry : ReadDirPlus(0).entries) {
        if (entry.name != "..") continue;
        ++parents;
        EXPECT_EQ(entry.fileid, IndexOf(root));
        EXPECT_EQ(entry.handle, root);
        EXPECT_TRUE(entry.attributes);
    }
    EXPECT_EQ(parents, 1);
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
