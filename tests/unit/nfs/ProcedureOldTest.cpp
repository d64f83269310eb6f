#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <stdexcept>

#include "DorvelFileManager.h"
#include "FaultyFs.h"
#include "HostFs.h"
#include "NfsTestbed.h"
#include "QDV_ProcedureOld.h"
#include "SharePaths.h"

namespace {

constexpr uint32_t kNull = 0, kGetAttr = 1, kSetAttr = 2, kLookup = 4, kRead = 6, kWrite = 8,
                   kCreate = 9, kRemove = 10, kRename = 11, kMkdir = 14, kRmdir = 15, kReadDir = 16,
                   kStatFs = 17;
constexpr uint32_t kUnset = 0xFFFFFFFF;
using Handle = std::vector<uint8_t>;

uint32_t IndexOf(const Handle& handle) {
    return handle[0] | (handle[1] << 8) | (handle[2] << 16) | (uint32_t(handle[3]) << 24);
}

XdrBytes Fh(const Handle& handle) {
    return XdrBytes().Append(handle);
}

XdrBytes DirOp(const Handle& folder, const std::string& name) {
    return Fh(folder).Text(name);
}

XdrBytes Rename(const Handle& from, const std::string& a, const Handle& to, const std::string& b) {
    return DirOp(from, a).Append(DirOp(to, b).Get());
}

// sattr: mode, uid, gid, size, atime, mtime; the owner numbers are left unset.
XdrBytes Sattr(XdrBytes base, uint32_t mode, uint32_t size = kUnset, uint32_t atime = kUnset,
               uint32_t atimeUs = kUnset, uint32_t mtime = kUnset, uint32_t mtimeUs = kUnset) {
    for (uint32_t word : {mode, kUnset, kUnset, size, atime, atimeUs, mtime, mtimeUs}) {
        base.Word(word);
    }
    return base;
}

XdrBytes Create(const Handle& folder, const std::string& name) {
    return Sattr(DirOp(folder, name), 0644, 0);
}

XdrBytes ReadArgs(const Handle& file, uint32_t offset, uint32_t count) {
    return Fh(file).Word(offset).Word(count).Word(count);
}

XdrBytes WriteArgs(const Handle& file, uint32_t offset, const std::string& data) {
    return Fh(file).Word(0).Word(offset).Word(0).Text(data);
}

XdrBytes ReadDirArgs(const Handle& folder, uint32_t cookie, uint32_t count) {
    return Fh(folder).Word(cookie).Word(count);
}

// Real share folders in a temporary folder; the version 2 set serves program 100003 and the
// handles come from MOUNT version 1.
class Nfs2 : public ::testing::Test {
  protected:
    Nfs2() {
        auto set = std::make_unique<CQDV_ProcedureOld>();
        procedures = set.get();
        bed.nfs = std::move(set);
        bed.daemon.Register(100003, procedures);
        bed.Dir().MakeFile("share1/Movie.avi", std::string(10000, 'm'));
        bed.Dir().MakeFile("share1/five.txt", "12345");
        bed.Dir().MakeFolder("share1/Films");
        WordReader mount = AfterHeader(bed.Call(100005, 1, 1, XdrBytes().Text("/quonhd1")));
        EXPECT_EQ(mount.Word() + mount.Word(), 0u) << "mounted";
        root = mount.Bytes(32);
    }

    HandledCall Raw(uint32_t procedure, const XdrBytes& args) {
        return bed.Call(100003, 2, procedure, args);
    }
    // The reply after an accept status that must be SUCCESS.
    WordReader Call(uint32_t procedure, const XdrBytes& args) {
        WordReader reply = AfterHeader(Raw(procedure, args));
        EXPECT_EQ(reply.Word(), 0u) << "accept status of procedure " << procedure;
        return reply;
    }
    // The status word, which must be all of the reply.
    uint32_t StatusOnly(uint32_t procedure, const XdrBytes& args) {
        WordReader reply = Call(procedure, args);
        uint32_t status = reply.Word();
        EXPECT_EQ(reply.Left(), 0u) << "procedure " << procedure << " status " << status;
        return status;
    }
    Handle Lookup(const Handle& folder, const std::string& name) {
        WordReader reply = Call(kLookup, DirOp(folder, name));
        return reply.Word() == 0 ? reply.Bytes(32) : Handle{};
    }
    // The attributes a successful procedure answers after its status.
    fattr Attributes(uint32_t procedure, const XdrBytes& args) {
        WordReader reply = Call(procedure, args);
        EXPECT_EQ(reply.Word(), 0u) << "procedure " << procedure;
        return Decoded<fattr>(reply);
    }
    // Arms each fault alone for the paths holding `pathPart`; the call must answer NFSERR_IO.
    void ExpectIoErrorUnder(std::initializer_list<Fault> faults, uint32_t procedure,
                            const XdrBytes& args, const std::string& pathPart = "") {
        FaultyFs faulty;
        for (Fault fault : faults) {
            faulty.Fail(fault, pathPart);
            EXPECT_EQ(StatusOnly(procedure, args), 5u) << "fault " << int(fault);
            EXPECT_EQ(faulty.Hits(fault), 1) << "fault " << int(fault);
            faulty.Heal(fault);
        }
    }
    bool HostWritable(const std::string& name) {
        hostfs::FileStatus status;
        return hostfs::Fs().Status(bed.InShare(1, name), status) == hostfs::HostError::kNone &&
               status.writable;
    }
    NfsTestbed bed;
    CQDV_ProcedureOld* procedures = nullptr;
    Handle root;
};

TEST_F(Nfs2, NullAnswersNothingAndTheUnservedProceduresAreUnavailable) {
    HandledCall null = Raw(kNull, XdrBytes());
    EXPECT_EQ(Words(null.reply), (std::vector<uint32_t>{0x01020304, 1, 0, 0, 0, 0}));
    for (uint32_t procedure : {3u, 5u, 7u, 12u, 13u, 18u, 255u}) {
        HandledCall call = Raw(procedure, Fh(root));
        EXPECT_EQ(call.result, kDispatchProcUnavail) << procedure;
        EXPECT_EQ(Words(call.reply), (std::vector<uint32_t>{0x01020304, 1, 0, 0, 0, 3}));
    }
}

TEST_F(Nfs2, AttributesAreTheSeventeenWordsOfTheHostStatus) {
    procedures->SetOwner(1000, 100);
    Handle movie = Lookup(root, "Movie.avi");
    ASSERT_EQ(movie.size(), 32u);
    WordReader reply = Call(kGetAttr, Fh(movie));
    ASSERT_EQ(reply.Word(), 0u);
    std::vector<uint32_t> a = Words(reply.Bytes(17 * 4));
    EXPECT_EQ(reply.Left(), 0u);
    hostfs::FileStatus host;
    ASSERT_EQ(hostfs::Fs().Status(bed.InShare(1, "Movie.avi"), host), hostfs::HostError::kNone);
    EXPECT_EQ(std::vector<uint32_t>(a.begin(), a.begin() + 11),
              (std::vector<uint32_t>{1, 0100666, host.links, 1000, 100, 10000, 8192, 0, 2, 4,
                                     IndexOf(movie)}));
    EXPECT_EQ(std::vector<uint32_t>(a.begin() + 11, a.end()),
              (std::vector<uint32_t>{uint32_t(host.atime), 0, uint32_t(host.mtime), 0,
                                     uint32_t(host.ctime), 0}));

    ASSERT_EQ(hostfs::Fs().SetPermissions(bed.InShare(1, "five.txt"), true, false),
              hostfs::HostError::kNone);
    EXPECT_EQ(Attributes(kGetAttr, Fh(Lookup(root, "five.txt"))).mode, 0100444u);
    fattr folder = Attributes(kGetAttr, Fh(Lookup(root, "Films")));
    EXPECT_EQ(folder.type, 2u);
    EXPECT_EQ(folder.mode, 040777u);
    // Only the first eight bytes, index and stamp, name the entry.
    std::fill(movie.begin() + 8, movie.end(), 0xAB);
    EXPECT_EQ(Attributes(kGetAttr, Fh(movie)).size, 10000u);
}

TEST_F(Nfs2, PathsThatCannotBeServedAnswerTheirStatusAlone) {
    bed.Dir().MakeFile("secret.txt", "s");
    const uint8_t* record = FileManager().GetHandle(bed.Dir().Join("secret.txt"));
    const Handle outside(record, record + 32);
    const Handle stale(32, 0xEE);
    const std::string tooLong(kMaxHostPath - bed.Share(1).size(), 'n');
    // The empty name, and on Windows names of dots and blanks alone, name the folder itself.
    std::vector<std::string> climbing = {"..", "../secret.txt", "Films/x", std::string("a\0b", 3),
                                         ""};
    if (hostfs::Fs().Separator() == '\\') {
        for (const char* name : {"..\\secret.txt", "...", ". ", " "}) climbing.push_back(name);
    }

    struct Case {
        uint32_t procedure;
        XdrBytes args;
        uint32_t status;
    };
    std::vector<Case> cases = {
        {kGetAttr, Fh(stale), 70},
        {kStatFs, Fh(stale), 70},
        {kReadDir, ReadDirArgs(stale, 0, 4096), 70},
        {kLookup, DirOp(stale, "five.txt"), 70},
        {kCreate, Create(stale, "x.txt"), 70},
        {kMkdir, Create(stale, "x"), 70},
        {kRename, Rename(root, "five.txt", stale, "x"), 70},
        {kLookup, DirOp(root, "FIVE.TXT"), 2},
        {kRemove, DirOp(root, "nothing"), 2},
        {kRename, Rename(root, "nothing", root, "x"), 2},
        {kGetAttr, Fh(outside), 13},
        {kRead, ReadArgs(outside, 0, 10), 13},
        {kWrite, WriteArgs(outside, 0, "x"), 13},
        {kStatFs, Fh(outside), 13},
        {kRename, Rename(root, "five.txt", root, "../x"), 13},
        // "." and ".." name a folder, not an entry of it: removing "share\." on Windows would
        // remove the share folder itself.
        {kRmdir, DirOp(root, "."), 13},
        {kRemove, DirOp(root, "."), 13},
        {kRename, Rename(root, ".", root, "x"), 13},
        {kLookup, DirOp(root, tooLong.substr(1)), 2},
        {kLookup, DirOp(root, tooLong), 63},
        {kCreate, Create(root, tooLong), 63},
        {kMkdir, Create(root, tooLong), 63},
        {kRemove, DirOp(root, tooLong), 63},
        {kRmdir, DirOp(root, std::string(5000, 'x')), 63},
        {kRename, Rename(root, "five.txt", root, tooLong), 63},
    };
    for (const std::string& name : climbing) {
        for (uint32_t procedure : {kLookup, kRemove, kRmdir}) {
            cases.push_back({procedure, DirOp(root, name), 13});
        }
        cases.push_back({kCreate, Create(root, name), 13});
        cases.push_back({kMkdir, Create(root, name), 13});
        cases.push_back({kRename, Rename(root, name, root, "stolen"), 13});
    }
    if (!hostfs::Fs().SettlesTrailingDots()) cases.push_back({kLookup, DirOp(root, "nothing."), 2});
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(StatusOnly(cases[i].procedure, cases[i].args), cases[i].status) << "case " << i;
    }
    EXPECT_EQ(bed.Dir().Contents("secret.txt"), "s");
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12345");
    EXPECT_TRUE(bed.Dir().Exists("share1/Films"));
    EXPECT_FALSE(bed.Dir().Exists("share1/stolen"));
}

// Windows opens five.txt for "FIVE.TXT" or "five.txt ", and a version 2 CREATE empties what it
// opens: a name the host only takes for another entry's is refused and the file left alone.
TEST_F(Nfs2, CreateNeverEmptiesAFileOfAnotherSpelling) {
    const bool windows = hostfs::Fs().Separator() == '\\';
    for (const char* name : {"FIVE.TXT", "five.txt ", "five.txt."}) {
        EXPECT_EQ(Call(kCreate, Create(root, name)).Word(), windows ? 17u : 0u) << name;
        EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12345") << name;
    }
}

TEST_F(Nfs2, LinksThatLeadOutOfTheSharesAreRefused) {
    if (hostfs::Fs().Separator() == '\\') GTEST_SKIP() << "links are followed on POSIX only";
    ASSERT_TRUE(bed.Dir().MakeFile("secret.txt", "s"));
    std::filesystem::create_symlink(bed.Dir().Join("secret.txt"), bed.InShare(1, "secret"));
    std::filesystem::create_symlink(bed.Dir().Join("planted"), bed.InShare(1, "dangling"));
    EXPECT_EQ(StatusOnly(kLookup, DirOp(root, "secret")), 13u);
    EXPECT_EQ(StatusOnly(kCreate, Create(root, "dangling")), 13u);
    EXPECT_FALSE(bed.Dir().Exists("planted"));
    EXPECT_EQ(bed.Dir().Contents("secret.txt"), "s");
}

TEST_F(Nfs2, LookupIsExactAboutLetterCaseAndGivesDotsEntriesOfTheirOwn) {
    WordReader found = Call(kLookup, DirOp(root, "Movie.avi"));
    ASSERT_EQ(found.Word(), 0u);
    Handle handle = found.Bytes(32);
    EXPECT_EQ(IndexOf(handle), FileManager().GetFileId(bed.InShare(1, "Movie.avi")));
    EXPECT_EQ(Handle(handle.begin() + 8, handle.end()), Handle(24, 0));
    EXPECT_EQ(Decoded<fattr>(found).size, 10000u);
    EXPECT_EQ(found.Left(), 0u);
    EXPECT_TRUE(Lookup(root, "movie.AVI").empty());

    Handle films = Lookup(root, "Films");
    Handle up = Lookup(films, "..");
    ASSERT_EQ(up.size(), 32u);
    EXPECT_NE(IndexOf(Lookup(films, ".")), IndexOf(films));
    EXPECT_NE(IndexOf(up), IndexOf(root));
    EXPECT_EQ(Lookup(up, "five.txt").size(), 32u);
}

TEST_F(Nfs2, ReadAnswersTheBytesThereArePaddedToAWordAndAtMost8192) {
    Handle five = Lookup(root, "five.txt");
    WordReader reply = Call(kRead, ReadArgs(five, 0, 10));
    ASSERT_EQ(reply.Word(), 0u);
    EXPECT_EQ(Decoded<fattr>(reply).size, 5u);
    ASSERT_EQ(reply.Word(), 5u);
    EXPECT_EQ(reply.Bytes(8), (std::vector<uint8_t>{'1', '2', '3', '4', '5', 0, 0, 0}));
    EXPECT_EQ(reply.Left(), 0u);

    for (auto [offset, expected] : {std::make_pair(3u, 2u), std::make_pair(100u, 0u)}) {
        WordReader part = Call(kRead, ReadArgs(five, offset, 10));
        ASSERT_EQ(part.Word(), 0u);
        Decoded<fattr>(part);
        EXPECT_EQ(part.Opaque().size(), expected) << offset;
    }
    WordReader big = Call(kRead, ReadArgs(Lookup(root, "Movie.avi"), 100, 65536));
    ASSERT_EQ(big.Word(), 0u);
    Decoded<fattr>(big);
    EXPECT_EQ(big.Opaque(), std::vector<uint8_t>(8192, 'm'));
}

TEST_F(Nfs2, WritePlacesWhatArrivedAtTheOffset) {
    Handle five = Lookup(root, "five.txt");
    EXPECT_EQ(Attributes(kWrite, WriteArgs(five, 3, "ABCDEF")).size, 9u);
    EXPECT_EQ(Attributes(kWrite, WriteArgs(five, 12, "Z")).size, 13u);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), std::string("123ABCDEF\0\0\0Z", 13));

    for (uint32_t claimed : {100u, 0xFFFFFFF0u}) {
        XdrBytes args = Fh(five).Word(0).Word(0).Word(0).Word(claimed).Bytes("abcd", 4);
        EXPECT_EQ(Raw(kWrite, args).result, kDispatchGarbage) << claimed;
    }
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt").size(), 13u);
}

TEST_F(Nfs2, CreateMkdirRemoveRmdirAndRenameChangeTheShare) {
    WordReader made = Call(kCreate, Create(root, "new.txt"));
    ASSERT_EQ(made.Word(), 0u);
    EXPECT_EQ(IndexOf(made.Bytes(32)), FileManager().GetFileId(bed.InShare(1, "new.txt")));
    EXPECT_EQ(Decoded<fattr>(made).type, 1u);
    EXPECT_EQ(made.Left(), 0u);
    WordReader emptied = Call(kCreate, Create(root, "five.txt"));
    ASSERT_EQ(emptied.Word(), 0u);
    EXPECT_EQ(emptied.Bytes(32), Lookup(root, "five.txt"));
    EXPECT_EQ(Decoded<fattr>(emptied).size, 0u);

    WordReader folder = Call(kMkdir, Create(root, "Series"));
    ASSERT_EQ(folder.Word(), 0u);
    Handle series = folder.Bytes(32);
    EXPECT_EQ(Decoded<fattr>(folder).type, 2u);
    EXPECT_EQ(StatusOnly(kMkdir, Create(root, "Series")), 17u) << "exists";

    Handle moved = Lookup(root, "new.txt");
    EXPECT_EQ(StatusOnly(kRename, Rename(root, "new.txt", series, "e1.avi")), 0u);
    EXPECT_TRUE(bed.Dir().Exists("share1/Series/e1.avi"));
    EXPECT_EQ(Lookup(series, "e1.avi"), moved) << "the old handle follows";
    EXPECT_EQ(StatusOnly(kRename, Rename(series, "e1.avi", root, "Movie.avi")), 17u) << "exists";
    EXPECT_EQ(StatusOnly(kRmdir, DirOp(root, "Series")), 66u) << "not empty";

    EXPECT_EQ(StatusOnly(kRemove, DirOp(series, "e1.avi")), 0u);
    EXPECT_EQ(StatusOnly(kGetAttr, Fh(moved)), 2u);
    EXPECT_EQ(StatusOnly(kRmdir, DirOp(root, "Series")), 0u);
    EXPECT_FALSE(bed.Dir().Exists("share1/Series"));
}

// Clients rename without a LOOKUP first; a folder's move takes the handles inside it along.
TEST_F(Nfs2, RenameMovesUnmetNamesAndTakesTheHandlesInsideAlong) {
    EXPECT_EQ(StatusOnly(kRename, Rename(root, "five.txt", root, "six.txt")), 0u);
    EXPECT_EQ(bed.Dir().Contents("share1/six.txt"), "12345");
    ASSERT_TRUE(bed.Dir().MakeFile("share1/Films/clip.avi", "clip"));
    Handle clip = Lookup(Lookup(root, "Films"), "clip.avi");
    ASSERT_EQ(clip.size(), 32u);
    EXPECT_EQ(StatusOnly(kRename, Rename(root, "Films", root, "Moved")), 0u);
    EXPECT_EQ(Attributes(kGetAttr, Fh(clip)).size, 4u);
}

TEST_F(Nfs2, SetAttrAppliesModeSizeAndTimes) {
    Handle five = Lookup(root, "five.txt");
    EXPECT_EQ(Attributes(kSetAttr, Sattr(Fh(five), 0444)).mode, 0100444u);
    EXPECT_FALSE(HostWritable("five.txt"));
    EXPECT_EQ(Attributes(kSetAttr, Sattr(Fh(five), 0644)).mode, 0100666u);
    ASSERT_EQ(hostfs::Fs().SetPermissions(bed.InShare(1, "five.txt"), true, false),
              hostfs::HostError::kNone);
    EXPECT_EQ(Attributes(kSetAttr, Sattr(Fh(five), kUnset, 2)).size, 2u);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12");
    EXPECT_TRUE(HostWritable("five.txt")) << "a mode of all ones clears the mark";

    fattr timed = Attributes(kSetAttr, Sattr(Fh(five), 0644, kUnset, 1200000000, 0, 1300000000, 5));
    EXPECT_EQ(timed.size, 2u);
    EXPECT_EQ(timed.atime.seconds, 1200000000u);
    EXPECT_EQ(timed.mtime.seconds, 1300000000u);
    fattr kept = Attributes(kSetAttr, Sattr(Fh(five), 0644, kUnset, kUnset, kUnset, 1400000000, 0));
    EXPECT_EQ(kept.atime.seconds, 1200000000u);
    EXPECT_EQ(kept.mtime.seconds, 1400000000u);
    fattr now = Attributes(kSetAttr, Sattr(Fh(five), 0644, kUnset, kUnset, kUnset, 7, 1000000));
    EXPECT_GT(now.mtime.seconds, 1400000000u)
        << "one million microseconds asks for the server's time";
}

TEST_F(Nfs2, HostFailuresAnswerIoError) {
    Handle five = Lookup(root, "five.txt");
    ExpectIoErrorUnder({Fault::kOpenRead, Fault::kReadAt}, kRead, ReadArgs(five, 0, 10));
    EXPECT_EQ(StatusOnly(kRead, ReadArgs(Lookup(root, "Films"), 0, 10)), 5u) << "a folder";
    ExpectIoErrorUnder({Fault::kSetSize, Fault::kSetTimes, Fault::kSetPermissions}, kSetAttr,
                       Sattr(Fh(five), 0444, 5, 1, 0, 1, 0));
    ExpectIoErrorUnder({Fault::kRemoveFile}, kRemove, DirOp(root, "five.txt"));
    ExpectIoErrorUnder({Fault::kRemoveFolder}, kRmdir, DirOp(root, "Films"));
    ExpectIoErrorUnder({Fault::kMove}, kRename, Rename(root, "five.txt", root, "six.txt"));
    ExpectIoErrorUnder({Fault::kOpenCreate}, kCreate, Create(root, "new.txt"));
    ExpectIoErrorUnder({Fault::kMakeFolder}, kMkdir, Create(root, "New"));
    ExpectIoErrorUnder({Fault::kFreeSpace}, kStatFs, Fh(root));
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12345");
    EXPECT_TRUE(bed.Dir().Exists("share1/Films"));
    EXPECT_FALSE(bed.Dir().Exists("share1/six.txt") || bed.Dir().Exists("share1/new.txt") ||
                 bed.Dir().Exists("share1/New"));

    ExpectIoErrorUnder({Fault::kOpenWrite, Fault::kWriteAt, Fault::kShortWrite}, kWrite,
                       WriteArgs(five, 0, "abcdefgh"));
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "abcd5") << "the half that landed";

    // The host's reason, where it gives one, reaches the client (RFC 1094 2.3.1).
    FaultyFs full;
    full.Fail(Fault::kShortWrite, "", hostfs::HostError::kNoSpace);
    EXPECT_EQ(StatusOnly(kWrite, WriteArgs(five, 0, "abcdefgh")), 28u);
    full.Fail(Fault::kSetSize, "", hostfs::HostError::kDenied);
    EXPECT_EQ(StatusOnly(kSetAttr, Sattr(Fh(five), 0644, 1)), 13u);
}

TEST_F(Nfs2, AStatusQueryThatFailsAfterTheWorkAnswersIoErrorAlone) {
    Handle five = Lookup(root, "five.txt");
    for (auto [procedure, args] :
         {std::make_pair(kGetAttr, Fh(five)), std::make_pair(kLookup, DirOp(root, "five.txt")),
          std::make_pair(kSetAttr, Sattr(Fh(five), 0644)),
          std::make_pair(kRead, ReadArgs(five, 0, 5)),
          std::make_pair(kWrite, WriteArgs(five, 0, "x")),
          std::make_pair(kCreate, Create(root, "fresh.txt")),
          std::make_pair(kMkdir, Create(root, "fresh"))}) {
        ExpectIoErrorUnder({Fault::kStatus}, procedure, args,
                           procedure >= kCreate ? "fresh" : "five");
    }
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "x2345") << "the write itself was done";
    EXPECT_TRUE(bed.Dir().Exists("share1/fresh.txt") && bed.Dir().Exists("share1/fresh"));
}

TEST_F(Nfs2, StatFsReportsTheVolumeHoldingTheShare) {
    hostfs::DiskSpace space;
    ASSERT_EQ(hostfs::Fs().FreeSpace(bed.Share(1), space), hostfs::HostError::kNone);
    statfsokres expected = StatFsFigures(space);
    WordReader reply = Call(kStatFs, Fh(root));
    ASSERT_EQ(reply.Word(), 0u);
    std::vector<uint32_t> words = Words(reply.Bytes(20));
    EXPECT_EQ(words[0], expected.tsize);
    EXPECT_EQ(words[1], expected.bsize);
    EXPECT_EQ(words[2], expected.blocks);
    EXPECT_EQ(words[3], words[4]) << "bavail = bfree";
    EXPECT_LE(words[3], words[2]);
    EXPECT_EQ(reply.Left(), 0u);
}

TEST(Nfs2StatFs, VolumesTooLargeForAWordAreCountedInLargerBlocks) {
    hostfs::DiskSpace space;
    space.sectorsPerCluster = 8;
    space.bytesPerSector = 512;
    space.totalClusters = 1000000;
    space.freeClusters = 250000;
    statfsokres fits = StatFsFigures(space);
    EXPECT_EQ((std::vector<uint32_t>{fits.tsize, fits.bsize, fits.blocks, fits.bfree, fits.bavail}),
              (std::vector<uint32_t>{4096, 4096, 1000000, 250000, 250000}));

    space.totalClusters = 0x300000000ULL;  // 48 TiB of 4 KiB clusters
    space.freeClusters = 0x100000001ULL;
    statfsokres large = StatFsFigures(space);
    EXPECT_EQ(large.tsize, 4096u);
    EXPECT_EQ(large.bsize, 16384u);
    EXPECT_EQ(large.blocks, 0xC0000000u);
    EXPECT_EQ(large.bfree, 0x40000000u);

    space.totalClusters = ~0ULL;
    space.freeClusters = ~0ULL;
    statfsokres saturated = StatFsFigures(space);
    EXPECT_EQ(saturated.bsize, 0x80000000u);
    EXPECT_EQ(saturated.blocks, 0xFFFFFFFFu);
    EXPECT_EQ(saturated.bfree, 0xFFFFFFFFu);
}

TEST_F(Nfs2, ArgumentsCutShortAreGarbageAndChangeNothing) {
    Handle five = Lookup(root, "five.txt");
    for (auto [procedure, args] :
         {std::make_pair(kGetAttr, Fh(five)), std::make_pair(kSetAttr, Sattr(Fh(five), 0644, 0)),
          std::make_pair(kRead, ReadArgs(five, 0, 5)),
          std::make_pair(kWrite, WriteArgs(five, 0, "abc")),
          std::make_pair(kCreate, Create(root, "cut.txt")),
          std::make_pair(kRename, Rename(root, "five.txt", root, "6")),
          std::make_pair(kReadDir, ReadDirArgs(root, 0, 4096)),
          std::make_pair(kStatFs, Fh(root))}) {
        for (size_t size = 0; size < args.Size(); size += 4) {
            HandledCall call = Raw(procedure, XdrBytes().Bytes(args.Get().data(), size));
            EXPECT_EQ(call.result, kDispatchGarbage) << procedure << " cut at " << size;
            EXPECT_EQ(Words(call.reply).size(), 6u) << "nothing but the header";
        }
    }
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12345");
    EXPECT_FALSE(bed.Dir().Exists("share1/cut.txt") || bed.Dir().Exists("share1/6"));
}

// Arguments whose reading fails with something other than a short message.
class BrokenInput final : public IInputStream {
  public:
    uint32_t Read(void*, uint32_t) override { throw std::runtime_error("broken"); }
    uint32_t ReadInt32(uint32_t*) override { throw std::runtime_error("broken"); }
    uint32_t ReadInt64(uint64_t*) override { throw std::runtime_error("broken"); }
    uint32_t Skip(uint32_t) override { throw std::runtime_error("broken"); }
    uint32_t Remaining() override { return 1024; }
    const uint8_t* Take(uint32_t) override { throw std::runtime_error("broken"); }
    const uint8_t* Peek(uint32_t) override { throw std::runtime_error("broken"); }
};

TEST(Nfs2Dispatch, OnlyAFailedDecodeIsAnsweredHereOtherFailuresLeaveForTheCaller) {
    CQDV_ProcedureOld set;
    CSocketStream stream;
    BrokenInput broken;
    RPCCallContext getattr{2, 1, "127.0.0.1"};
    EXPECT_THROW(set.Dispatch(broken, stream, getattr), std::runtime_error);
    LoadInput(stream, std::vector<uint8_t>(8, 0));
    EXPECT_EQ(set.Dispatch(stream, stream, getattr), kDispatchGarbage);
}

}  // namespace
