#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

#include "DorvelFileManager.h"
#include "FaultyFs.h"
#include "HostFs.h"
#include "Nfs2Calls.h"
#include "SharePaths.h"

namespace {

using namespace nfs2;

uint32_t IndexOf(const Handle& handle) {
    return handle[0] | (handle[1] << 8) | (handle[2] << 16) | (uint32_t(handle[3]) << 24);
}

constexpr uint32_t kUnset = 0xFFFFFFFF;

// sattr: mode, uid, gid, size, atime, mtime; the owner numbers are left unset.
XdrBytes Sattr(XdrBytes base, uint32_t mode, uint32_t size = kUnset, uint32_t atime = kUnset,
               uint32_t atimeUs = kUnset, uint32_t mtime = kUnset, uint32_t mtimeUs = kUnset) {
    return base.Word(mode)
        .Word(kUnset)
        .Word(kUnset)
        .Word(size)
        .Word(atime)
        .Word(atimeUs)
        .Word(mtime)
        .Word(mtimeUs);
}

XdrBytes Create(const Handle& folder, const std::string& name) {
    return Sattr(DirOp(folder, name), 0644, 0);
}

XdrBytes WriteArgs(const Handle& file, uint32_t offset, const std::string& data) {
    return Fh(file).Word(0).Word(offset).Word(0).Text(data);
}

class Nfs2 : public ::testing::Test {
  protected:
    Nfs2() {
        bed.Dir().MakeFile("share1/Movie.avi", std::string(10000, 'm'));
        bed.Dir().MakeFile("share1/five.txt", "12345");
        bed.Dir().MakeFolder("share1/Films");
        root = client.Root(1);
    }

    Handle Movie() { return client.Lookup(root, "Movie.avi"); }
    // The status word alone, checking that nothing follows it.
    uint32_t StatusOnly(uint32_t procedure, const XdrBytes& args) {
        WordReader reply = client.Call(procedure, args);
        uint32_t status = reply.Word();
        EXPECT_EQ(reply.Left(), 0u) << "procedure " << procedure << " status " << status;
        return status;
    }
    Fattr Attributes(const Handle& handle) {
        WordReader reply = client.Call(kGetAttr, Fh(handle));
        EXPECT_EQ(reply.Word(), 0u);
        return ReadFattr(reply);
    }
    // Arms each fault alone for the paths holding `pathPart`; the call must answer NFSERR_IO.
    void ExpectIoErrorUnder(std::initializer_list<Fault> faults, uint32_t procedure,
                            const XdrBytes& args, const std::string& pathPart) {
        FaultyFs faulty;
        for (Fault fault : faults) {
            faulty.Fail(fault, pathPart);
            EXPECT_EQ(StatusOnly(procedure, args), 5u) << "fault " << int(fault);
            EXPECT_EQ(faulty.Hits(fault), 1) << "fault " << int(fault);
            faulty.Heal(fault);
        }
    }
    hostfs::FileStatus HostStatus(const std::string& name) {
        hostfs::FileStatus status;
        EXPECT_TRUE(hostfs::Fs().Status(bed.InShare(1, name), status)) << name;
        return status;
    }

    NfsTestbed bed;
    Client client{bed};
    Handle root;
};

TEST_F(Nfs2, NullAnswersNothingAndTheUnservedProceduresAreUnavailable) {
    HandledCall null = client.Raw(kNull, XdrBytes());
    EXPECT_EQ(null.result, kDispatchDone);
    EXPECT_EQ(Words(null.reply), (std::vector<uint32_t>{0x01020304, 1, 0, 0, 0, 0}));
    for (uint32_t procedure : {3u, 5u, 7u, 12u, 13u, 18u, 255u}) {
        HandledCall call = client.Raw(procedure, Fh(root));
        EXPECT_EQ(call.result, kDispatchProcUnavail) << procedure;
        EXPECT_EQ(Words(call.reply).back(), 3u) << procedure;
        EXPECT_EQ(Words(call.reply).size(), 6u) << procedure;
    }
}

TEST_F(Nfs2, GetAttrAnswersTheSeventeenWordsOfTheHostStatus) {
    client.Set().SetOwner(1000, 100);
    Handle movie = Movie();
    ASSERT_EQ(movie.size(), 32u);
    WordReader reply = client.Call(kGetAttr, Fh(movie));
    ASSERT_EQ(reply.Word(), 0u);
    Fattr a = ReadFattr(reply);
    EXPECT_EQ(reply.Left(), 0u) << "17 words";
    hostfs::FileStatus host = HostStatus("Movie.avi");
    EXPECT_EQ(a.type, 1u);
    EXPECT_EQ(a.mode, 0100666u);
    EXPECT_EQ(a.nlink, host.links);
    EXPECT_EQ(a.uid, 1000u);
    EXPECT_EQ(a.gid, 100u);
    EXPECT_EQ(a.size, 10000u);
    EXPECT_EQ(a.blocksize, 8192u);
    EXPECT_EQ(a.rdev, 0u);
    EXPECT_EQ(a.blocks, 2u);
    EXPECT_EQ(a.fsid, 4u);
    EXPECT_EQ(a.fileid, IndexOf(movie));
    EXPECT_EQ(a.atime, uint32_t(host.atime));
    EXPECT_EQ(a.mtime, uint32_t(host.mtime));
    EXPECT_EQ(a.ctime, uint32_t(host.ctime));
    EXPECT_EQ(a.atimeUs + a.mtimeUs + a.ctimeUs, 0u);
}

TEST_F(Nfs2, ModesComeFromTheOwnersBitsOrTheReadOnlyMark) {
    EXPECT_EQ(Attributes(client.Lookup(root, "five.txt")).mode, 0100666u);
    ASSERT_TRUE(hostfs::Fs().SetPermissions(bed.InShare(1, "five.txt"), true, false));
    EXPECT_EQ(Attributes(client.Lookup(root, "five.txt")).mode, 0100444u);
    Fattr folder = Attributes(client.Lookup(root, "Films"));
    EXPECT_EQ(folder.type, 2u);
    EXPECT_EQ(folder.mode, 040777u);
}

TEST_F(Nfs2, UnknownHandlesAreStaleAndVanishedFilesMissing) {
    Handle stale(32, 0);
    stale[0] = 0xEE;
    stale[1] = 0xEE;
    for (uint32_t procedure : {kGetAttr, kStatFs}) {
        EXPECT_EQ(StatusOnly(procedure, Fh(stale)), 70u) << procedure;
    }
    EXPECT_EQ(StatusOnly(kLookup, DirOp(stale, "Movie.avi")), 70u);
    EXPECT_EQ(StatusOnly(kReadDir, ReadDirArgs(stale, 0, 4096)), 70u);
    // Only the first four bytes name the entry.
    Handle movie = Movie();
    std::fill(movie.begin() + 4, movie.end(), 0xAB);
    EXPECT_EQ(Attributes(movie).size, 10000u);

    ASSERT_TRUE(hostfs::Fs().RemoveFile(bed.InShare(1, "Movie.avi")));
    EXPECT_EQ(StatusOnly(kGetAttr, Fh(movie)), 2u);
    EXPECT_EQ(StatusOnly(kRead, Fh(movie).Word(0).Word(10).Word(0)), 2u);
}

TEST_F(Nfs2, LookupIsExactAboutLetterCaseAndGivesDotsEntriesOfTheirOwn) {
    WordReader found = client.Call(kLookup, DirOp(root, "Movie.avi"));
    ASSERT_EQ(found.Word(), 0u);
    Handle handle = found.Bytes(32);
    EXPECT_EQ(IndexOf(handle), FileManager().GetFileId(bed.InShare(1, "Movie.avi")));
    EXPECT_EQ(Handle(handle.begin() + 4, handle.end()), Handle(28, 0));
    EXPECT_EQ(ReadFattr(found).size, 10000u);
    EXPECT_EQ(found.Left(), 0u);

    EXPECT_EQ(StatusOnly(kLookup, DirOp(root, "movie.AVI")), 2u);
    EXPECT_EQ(StatusOnly(kLookup, DirOp(root, "nothing")), 2u);

    Handle films = client.Lookup(root, "Films");
    Handle dot = client.Lookup(films, ".");
    Handle up = client.Lookup(films, "..");
    ASSERT_EQ(dot.size(), 32u);
    ASSERT_EQ(up.size(), 32u);
    EXPECT_NE(IndexOf(dot), IndexOf(films));
    EXPECT_NE(IndexOf(up), IndexOf(root));
    EXPECT_EQ(Attributes(dot).type, 2u);
    EXPECT_EQ(client.Lookup(up, "five.txt").size(), 32u);
}

TEST_F(Nfs2, NamesAndHandlesCannotLeaveTheShares) {
    bed.Dir().MakeFile("secret.txt", "s");
    bed.Dir().MakeFile("share1/Films/inner.txt", "i");
    std::vector<std::string> refused = {"..", "../secret.txt", "Films/inner.txt",
                                        std::string("a\0b", 3)};
    if (hostfs::Fs().Separator() == '\\') {
        refused.push_back("Films\\inner.txt");
        refused.push_back("..\\secret.txt");
    }
    for (const std::string& name : refused) {
        EXPECT_EQ(StatusOnly(kLookup, DirOp(root, name)), 13u) << name;
        EXPECT_EQ(StatusOnly(kCreate, Create(root, name)), 13u) << name;
        EXPECT_EQ(StatusOnly(kRemove, DirOp(root, name)), 13u) << name;
    }
    EXPECT_EQ(StatusOnly(kRename, DirOp(root, "five.txt").Append(DirOp(root, "../x").Get())), 13u);
    EXPECT_TRUE(bed.Dir().Exists("share1/five.txt"));

    const uint8_t* record = FileManager().GetHandle(bed.Dir().Join("secret.txt"));
    Handle outside(record, record + 32);
    EXPECT_EQ(StatusOnly(kGetAttr, Fh(outside)), 13u);
    EXPECT_EQ(StatusOnly(kRead, Fh(outside).Word(0).Word(10).Word(0)), 13u);
    EXPECT_EQ(StatusOnly(kWrite, WriteArgs(outside, 0, "x")), 13u);
    EXPECT_EQ(StatusOnly(kStatFs, Fh(outside)), 13u);
    EXPECT_EQ(bed.Dir().Contents("secret.txt"), "s");
}

TEST_F(Nfs2, JoinedPathsBeyondTheLimitAreTooLong) {
    const std::string share = bed.Share(1);
    const std::string longest(kMaxHostPath - share.size() - 1, 'n');
    const std::string tooLong = longest + "n";
    EXPECT_EQ(StatusOnly(kLookup, DirOp(root, longest)), 2u) << "fits, but does not exist";
    EXPECT_EQ(StatusOnly(kLookup, DirOp(root, tooLong)), 63u);
    EXPECT_EQ(StatusOnly(kCreate, Create(root, tooLong)), 63u);
    EXPECT_EQ(StatusOnly(kMkdir, Create(root, tooLong)), 63u);
    EXPECT_EQ(StatusOnly(kRemove, DirOp(root, tooLong)), 63u);
    EXPECT_EQ(StatusOnly(kRmdir, DirOp(root, tooLong)), 63u);
    EXPECT_EQ(StatusOnly(kRename, DirOp(root, "five.txt").Append(DirOp(root, tooLong).Get())), 63u);
    EXPECT_EQ(StatusOnly(kLookup, DirOp(root, std::string(5000, 'x'))), 63u);
    EXPECT_TRUE(bed.Dir().Exists("share1/five.txt"));
}

TEST_F(Nfs2, ReadAnswersTheBytesThereArePaddedToAWord) {
    Handle five = client.Lookup(root, "five.txt");
    WordReader reply = client.Call(kRead, Fh(five).Word(0).Word(10).Word(10));
    ASSERT_EQ(reply.Word(), 0u);
    EXPECT_EQ(ReadFattr(reply).size, 5u);
    ASSERT_EQ(reply.Word(), 5u);
    EXPECT_EQ(reply.Bytes(5), (std::vector<uint8_t>{'1', '2', '3', '4', '5'}));
    EXPECT_EQ(reply.Bytes(3), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(reply.Left(), 0u);

    WordReader middle = client.Call(kRead, Fh(five).Word(3).Word(10).Word(10));
    ASSERT_EQ(middle.Word(), 0u);
    ReadFattr(middle);
    EXPECT_EQ(middle.Opaque(), (std::vector<uint8_t>{'4', '5'}));

    WordReader past = client.Call(kRead, Fh(five).Word(100).Word(10).Word(10));
    ASSERT_EQ(past.Word(), 0u);
    ReadFattr(past);
    EXPECT_EQ(past.Word(), 0u);
    EXPECT_EQ(past.Left(), 0u);
}

TEST_F(Nfs2, ReadServesAtMost8192Bytes) {
    WordReader reply = client.Call(kRead, Fh(Movie()).Word(100).Word(65536).Word(65536));
    ASSERT_EQ(reply.Word(), 0u);
    ReadFattr(reply);
    EXPECT_EQ(reply.Opaque(), std::vector<uint8_t>(8192, 'm'));
    EXPECT_EQ(reply.Left(), 0u);
}

TEST_F(Nfs2, ReadFailuresAnswerIoError) {
    Handle films = client.Lookup(root, "Films");
    EXPECT_EQ(StatusOnly(kRead, Fh(films).Word(0).Word(10).Word(10)), 5u) << "a folder";
    ExpectIoErrorUnder({Fault::kOpenRead, Fault::kReadAt}, kRead,
                       Fh(Movie()).Word(0).Word(10).Word(10), "Movie");
}

TEST_F(Nfs2, WritePlacesTheDataAtTheOffsetAndAnswersTheNewAttributes) {
    Handle five = client.Lookup(root, "five.txt");
    WordReader reply = client.Call(kWrite, WriteArgs(five, 3, "ABCDEF"));
    ASSERT_EQ(reply.Word(), 0u);
    EXPECT_EQ(ReadFattr(reply).size, 9u);
    EXPECT_EQ(reply.Left(), 0u);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "123ABCDEF");

    WordReader beyond = client.Call(kWrite, WriteArgs(five, 12, "Z"));
    ASSERT_EQ(beyond.Word(), 0u);
    EXPECT_EQ(ReadFattr(beyond).size, 13u);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), std::string("123ABCDEF\0\0\0Z", 13));
}

TEST_F(Nfs2, WriteFailuresAnswerIoErrorAndShortWritesAreFailures) {
    Handle five = client.Lookup(root, "five.txt");
    ExpectIoErrorUnder({Fault::kOpenWrite, Fault::kWriteAt, Fault::kShortWrite}, kWrite,
                       WriteArgs(five, 0, "abcdefgh"), "five");
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "abcd5") << "the half that landed";
}

TEST_F(Nfs2, WriteDataMustHaveArrived) {
    Handle five = client.Lookup(root, "five.txt");
    XdrBytes claimsMore = Fh(five).Word(0).Word(0).Word(0).Word(100).Bytes("abcd", 4);
    EXPECT_EQ(client.Raw(kWrite, claimsMore).result, kDispatchGarbage);
    XdrBytes huge = Fh(five).Word(0).Word(0).Word(0).Word(0xFFFFFFF0).Bytes("abcd", 4);
    EXPECT_EQ(client.Raw(kWrite, huge).result, kDispatchGarbage);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12345");
}

TEST_F(Nfs2, CreateMakesOrEmptiesTheFileAndAnswersItsHandle) {
    WordReader made = client.Call(kCreate, Create(root, "new.txt"));
    ASSERT_EQ(made.Word(), 0u);
    Handle handle = made.Bytes(32);
    EXPECT_EQ(IndexOf(handle), FileManager().GetFileId(bed.InShare(1, "new.txt")));
    Fattr a = ReadFattr(made);
    EXPECT_EQ(a.type, 1u);
    EXPECT_EQ(a.size, 0u);
    EXPECT_EQ(made.Left(), 0u);
    EXPECT_TRUE(bed.Dir().Exists("share1/new.txt"));

    Handle five = client.Lookup(root, "five.txt");
    WordReader emptied = client.Call(kCreate, Create(root, "five.txt"));
    ASSERT_EQ(emptied.Word(), 0u);
    EXPECT_EQ(emptied.Bytes(32), five);
    EXPECT_EQ(ReadFattr(emptied).size, 0u);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "");
}

TEST_F(Nfs2, MkdirMakesAFolderAndRefusesAnExistingName) {
    WordReader made = client.Call(kMkdir, Create(root, "Series"));
    ASSERT_EQ(made.Word(), 0u);
    Handle handle = made.Bytes(32);
    EXPECT_EQ(ReadFattr(made).type, 2u);
    EXPECT_EQ(made.Left(), 0u);
    EXPECT_EQ(client.Call(kCreate, Create(handle, "e1.avi")).Word(), 0u);
    EXPECT_TRUE(bed.Dir().Exists("share1/Series/e1.avi"));
    EXPECT_EQ(StatusOnly(kMkdir, Create(root, "Films")), 5u);
}

TEST_F(Nfs2, CreateAndMkdirInAStaleFolderAnswerStale) {
    Handle stale(32, 0);
    stale[0] = 0x7F;
    EXPECT_EQ(StatusOnly(kCreate, Create(stale, "x.txt")), 70u);
    EXPECT_EQ(StatusOnly(kMkdir, Create(stale, "x")), 70u);
}

TEST_F(Nfs2, RemoveAndRmdirTakeAwayWhatIsThere) {
    Handle five = client.Lookup(root, "five.txt");
    EXPECT_EQ(StatusOnly(kRemove, DirOp(root, "five.txt")), 0u);
    EXPECT_FALSE(bed.Dir().Exists("share1/five.txt"));
    EXPECT_EQ(StatusOnly(kGetAttr, Fh(five)), 2u);
    EXPECT_EQ(StatusOnly(kRemove, DirOp(root, "five.txt")), 2u);

    bed.Dir().MakeFile("share1/Films/inside.avi", "i");
    EXPECT_EQ(StatusOnly(kRmdir, DirOp(root, "Films")), 5u) << "not empty";
    EXPECT_TRUE(bed.Dir().Exists("share1/Films"));
    ASSERT_TRUE(hostfs::Fs().RemoveFile(bed.InShare(1, "Films/inside.avi")));
    EXPECT_EQ(StatusOnly(kRmdir, DirOp(root, "Films")), 0u);
    EXPECT_FALSE(bed.Dir().Exists("share1/Films"));
}

TEST_F(Nfs2, RenameMovesAndTheOldHandleFollows) {
    Handle five = client.Lookup(root, "five.txt");
    Handle films = client.Lookup(root, "Films");
    EXPECT_EQ(StatusOnly(kRename, DirOp(root, "five.txt").Append(DirOp(films, "5.txt").Get())), 0u);
    EXPECT_EQ(bed.Dir().Contents("share1/Films/5.txt"), "12345");
    EXPECT_FALSE(bed.Dir().Exists("share1/five.txt"));
    EXPECT_EQ(Attributes(five).size, 5u);
    EXPECT_EQ(client.Lookup(films, "5.txt"), five);

    EXPECT_EQ(StatusOnly(kRename, DirOp(films, "5.txt").Append(DirOp(root, "Movie.avi").Get())), 5u)
        << "onto an existing name";
    EXPECT_EQ(bed.Dir().Contents("share1/Films/5.txt"), "12345");
    EXPECT_EQ(StatusOnly(kRename, DirOp(root, "gone").Append(DirOp(root, "x").Get())), 2u);
    Handle stale(32, 0xFF);
    EXPECT_EQ(StatusOnly(kRename, DirOp(films, "5.txt").Append(DirOp(stale, "x").Get())), 70u);
}

TEST_F(Nfs2, HostFailuresOfTheNamespaceProceduresAnswerIoError) {
    ASSERT_EQ(client.Lookup(root, "five.txt").size(), 32u) << "the table moves known paths only";
    ExpectIoErrorUnder({Fault::kRemoveFile}, kRemove, DirOp(root, "five.txt"), "");
    ExpectIoErrorUnder({Fault::kRemoveFolder}, kRmdir, DirOp(root, "Films"), "");
    ExpectIoErrorUnder({Fault::kMove}, kRename,
                       DirOp(root, "five.txt").Append(DirOp(root, "six.txt").Get()), "");
    ExpectIoErrorUnder({Fault::kOpenCreate}, kCreate, Create(root, "new.txt"), "");
    ExpectIoErrorUnder({Fault::kMakeFolder}, kMkdir, Create(root, "New"), "");
    EXPECT_TRUE(bed.Dir().Exists("share1/five.txt"));
    EXPECT_TRUE(bed.Dir().Exists("share1/Films"));
    EXPECT_FALSE(bed.Dir().Exists("share1/six.txt"));
    EXPECT_FALSE(bed.Dir().Exists("share1/new.txt"));
    EXPECT_FALSE(bed.Dir().Exists("share1/New"));
}

TEST_F(Nfs2, SetAttrAppliesModeSizeAndTimes) {
    Handle five = client.Lookup(root, "five.txt");
    WordReader readOnly = client.Call(kSetAttr, Sattr(Fh(five), 0444));
    ASSERT_EQ(readOnly.Word(), 0u);
    EXPECT_EQ(ReadFattr(readOnly).mode, 0100444u);
    EXPECT_EQ(readOnly.Left(), 0u);
    EXPECT_FALSE(HostStatus("five.txt").writable);

    WordReader writable = client.Call(kSetAttr, Sattr(Fh(five), 0644));
    ASSERT_EQ(writable.Word(), 0u);
    EXPECT_EQ(ReadFattr(writable).mode, 0100666u);

    WordReader truncated = client.Call(kSetAttr, Sattr(Fh(five), kUnset, 2));
    ASSERT_EQ(truncated.Word(), 0u);
    EXPECT_EQ(ReadFattr(truncated).size, 2u);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12");
    EXPECT_TRUE(HostStatus("five.txt").writable) << "a mode of all ones clears the mark";

    WordReader timed =
        client.Call(kSetAttr, Sattr(Fh(five), 0644, kUnset, 1200000000, 0, 1300000000, 500));
    ASSERT_EQ(timed.Word(), 0u);
    Fattr a = ReadFattr(timed);
    EXPECT_EQ(a.size, 2u) << "size left alone";
    EXPECT_EQ(a.atime, 1200000000u);
    EXPECT_EQ(a.mtime, 1300000000u);

    WordReader kept =
        client.Call(kSetAttr, Sattr(Fh(five), 0644, kUnset, kUnset, kUnset, 1400000000, 0));
    ASSERT_EQ(kept.Word(), 0u);
    Fattr b = ReadFattr(kept);
    EXPECT_EQ(b.atime, 1200000000u) << "atime left alone";
    EXPECT_EQ(b.mtime, 1400000000u);

    WordReader now =
        client.Call(kSetAttr, Sattr(Fh(five), 0644, kUnset, kUnset, kUnset, 7, 1000000));
    ASSERT_EQ(now.Word(), 0u);
    EXPECT_GT(ReadFattr(now).mtime, 1400000000u) << "one million microseconds: server time";
}

TEST_F(Nfs2, SetAttrHostFailuresAnswerIoError) {
    Handle five = client.Lookup(root, "five.txt");
    ExpectIoErrorUnder({Fault::kSetSize, Fault::kSetTimes, Fault::kSetPermissions}, kSetAttr,
                       Sattr(Fh(five), 0444, 5, 1, 0, 1, 0), "five");
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12345");
}

TEST_F(Nfs2, AHostStatusThatFailsAfterTheWorkAnswersIoErrorAlone) {
    Handle five = client.Lookup(root, "five.txt");
    FaultyFs faulty;
    faulty.Fail(Fault::kStatus, "five");
    EXPECT_EQ(StatusOnly(kGetAttr, Fh(five)), 5u);
    EXPECT_EQ(StatusOnly(kLookup, DirOp(root, "five.txt")), 5u);
    EXPECT_EQ(StatusOnly(kSetAttr, Sattr(Fh(five), 0644)), 5u);
    EXPECT_EQ(StatusOnly(kRead, Fh(five).Word(0).Word(5).Word(0)), 5u);
    EXPECT_EQ(StatusOnly(kWrite, WriteArgs(five, 0, "x")), 5u);
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "x2345") << "the write itself was done";
    faulty.Fail(Fault::kStatus, "fresh");
    EXPECT_EQ(StatusOnly(kCreate, Create(root, "fresh.txt")), 5u);
    EXPECT_EQ(StatusOnly(kMkdir, Create(root, "fresh")), 5u);
    EXPECT_TRUE(bed.Dir().Exists("share1/fresh.txt"));
    EXPECT_TRUE(bed.Dir().Exists("share1/fresh"));
}

TEST_F(Nfs2, StatFsReportsTheVolumeHoldingTheShare) {
    hostfs::DiskSpace space;
    ASSERT_EQ(hostfs::Fs().FreeSpace(bed.Share(1), space), hostfs::SpaceResult::kOk);
    statfsokres expected = StatFsFigures(space);
    WordReader reply = client.Call(kStatFs, Fh(root));
    ASSERT_EQ(reply.Word(), 0u);
    EXPECT_EQ(reply.Word(), expected.tsize);
    EXPECT_EQ(reply.Word(), expected.bsize);
    EXPECT_EQ(reply.Word(), expected.blocks);
    uint32_t bfree = reply.Word();
    EXPECT_EQ(reply.Word(), bfree) << "bavail = bfree";
    EXPECT_LE(bfree, expected.blocks);
    EXPECT_GT(expected.bsize, 0u);
    EXPECT_EQ(reply.Left(), 0u);

    FaultyFs faulty;
    faulty.Fail(Fault::kFreeSpace);
    EXPECT_EQ(StatusOnly(kStatFs, Fh(root)), 5u);
}

TEST(Nfs2StatFs, ClusterFiguresThatFitAreReportedAsTheyAre) {
    hostfs::DiskSpace space;
    space.sectorsPerCluster = 8;
    space.bytesPerSector = 512;
    space.totalClusters = 1000000;
    space.freeClusters = 250000;
    statfsokres info = StatFsFigures(space);
    EXPECT_EQ(info.tsize, 4096u);
    EXPECT_EQ(info.bsize, 4096u);
    EXPECT_EQ(info.blocks, 1000000u);
    EXPECT_EQ(info.bfree, 250000u);
    EXPECT_EQ(info.bavail, 250000u);
}

TEST(Nfs2StatFs, LargeVolumesAreCountedInLargerBlocks) {
    hostfs::DiskSpace space;
    space.sectorsPerCluster = 1;
    space.bytesPerSector = 4096;
    space.totalClusters = 0x300000000ULL;  // 48 TiB
    space.freeClusters = 0x100000001ULL;
    statfsokres info = StatFsFigures(space);
    EXPECT_EQ(info.tsize, 4096u);
    EXPECT_EQ(info.bsize, 16384u);
    EXPECT_EQ(info.blocks, 0xC0000000u);
    EXPECT_EQ(info.bfree, 0x40000000u);
    EXPECT_EQ(uint64_t(info.blocks) * info.bsize, space.totalClusters * 4096);

    space.totalClusters = ~0ULL;
    space.freeClusters = ~0ULL;
    statfsokres saturated = StatFsFigures(space);
    EXPECT_EQ(saturated.bsize, 0x80000000u);
    EXPECT_EQ(saturated.blocks, 0xFFFFFFFFu);
    EXPECT_EQ(saturated.bfree, 0xFFFFFFFFu);
}

TEST_F(Nfs2, ArgumentsCutShortAreGarbage) {
    Handle five = client.Lookup(root, "five.txt");
    const std::vector<std::pair<uint32_t, XdrBytes>> calls = {
        {kGetAttr, Fh(five)},
        {kSetAttr, Sattr(Fh(five), 0644)},
        {kLookup, DirOp(root, "five.txt")},
        {kRead, Fh(five).Word(0).Word(5).Word(0)},
        {kWrite, WriteArgs(five, 0, "abc")},
        {kCreate, Create(root, "cut.txt")},
        {kRename, DirOp(root, "five.txt").Append(DirOp(root, "six.txt").Get())},
        {kReadDir, ReadDirArgs(root, 0, 4096)},
        {kStatFs, Fh(root)},
    };
    for (const auto& [procedure, args] : calls) {
        for (size_t size = 0; size < args.Size(); size += 4) {
            XdrBytes prefix;
            prefix.Bytes(args.Get().data(), size);
            HandledCall call = client.Raw(procedure, prefix);
            EXPECT_EQ(call.result, kDispatchGarbage) << procedure << " cut at " << size;
            EXPECT_EQ(Words(call.reply).size(), 6u) << "nothing but the header";
        }
    }
    EXPECT_EQ(bed.Dir().Contents("share1/five.txt"), "12345");
    EXPECT_FALSE(bed.Dir().Exists("share1/cut.txt"));
    EXPECT_FALSE(bed.Dir().Exists("share1/six.txt"));
}

// Arguments whose reading fails with something other than a short message.
class BrokenInput final : public IInputStream {
  public:
    uint32_t Read(void*, uint32_t) override { throw std::runtime_error("broken"); }
    uint32_t ReadInt32(uint32_t*) override { throw std::runtime_error("broken"); }
    uint32_t ReadInt64(uint64_t*) override { throw std::runtime_error("broken"); }
    uint32_t Skip(uint32_t) override { throw std::runtime_error("broken"); }
    uint32_t Remaining() override { return 1024; }
};

TEST(Nfs2Dispatch, OnlyAFailedDecodeIsAnsweredHereOtherFailuresLeaveForTheCaller) {
    CQDV_ProcedureOld set;
    CSocketStream stream;
    BrokenInput broken;
    RPCCallContext getattr{2, 1, "127.0.0.1"};
    EXPECT_THROW(set.Dispatch(broken, stream, getattr), std::runtime_error);
    LoadInput(stream, std::vector<uint8_t>(8, 0));
    EXPECT_EQ(set.Dispatch(stream, stream, getattr), kDispatchGarbage);
    RPCCallContext null{2, 0, "127.0.0.1"};
    EXPECT_EQ(set.Dispatch(broken, stream, null), kDispatchDone);
}

}  // namespace
