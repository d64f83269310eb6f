#include <gtest/gtest.h>

#include <filesystem>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "Nfs3Reply.h"
#include "NfsTestbed.h"

namespace {

enum Procedure : uint32_t { kNull = 0, kGetAttr = 1, kSetAttr = 2, kLookup = 3, kAccess = 4 };

// sattr3 with only the given parts set.
XdrBytes Sattr(const XdrBytes& base, int mode = -1, int64_t size = -1, int atimeHow = 0,
               uint32_t atime = 0, int mtimeHow = 0, uint32_t mtime = 0) {
    XdrBytes b = base;
    if (mode >= 0)
        b.Word(1).Word(uint32_t(mode));
    else
        b.Word(0);
    b.Word(0).Word(0);  // uid, gid
    if (size >= 0)
        b.Word(1).Hyper(uint64_t(size));
    else
        b.Word(0);
    b.Word(uint32_t(atimeHow));
    if (atimeHow == 2) b.Word(atime).Word(0);
    b.Word(uint32_t(mtimeHow));
    if (mtimeHow == 2) b.Word(mtime).Word(0);
    return b.Word(0);  // no guard
}

class Nfs3Attributes : public ::testing::Test {
  protected:
    Nfs3Attributes() {
        bed.Dir().MakeFile("share1/Movie.avi", std::string(1000, 'm'));
        bed.Dir().MakeFile("share1/run.exe", "MZ");
        bed.Dir().MakeFolder("share1/Films");
        root = bed.Root(1);
    }
    std::vector<uint8_t> File() { return bed.Lookup(root, "Movie.avi"); }
    bool HostWritable(const std::string& name) {
        hostfs::FileStatus status;
        return hostfs::Fs().Status(bed.InShare(1, name), status) == hostfs::HostError::kNone &&
               status.writable;
    }

    NfsTestbed bed;
    std::vector<uint8_t> root;
};

TEST_F(Nfs3Attributes, NullAnswersNothing) {
    HandledCall call = bed.Call(100003, 3, kNull, XdrBytes());
    EXPECT_EQ(Words(call.reply), (std::vector<uint32_t>{0x01020304, 1, 0, 0, 0, 0}));
}

TEST_F(Nfs3Attributes, GetAttrDescribesTheHostFile) {
    std::vector<uint8_t> file = File();
    ASSERT_EQ(file.size(), 64u);
    WordReader reply = bed.Nfs3(kGetAttr, Handle(file));
    ASSERT_EQ(reply.Word(), 0u);
    fattr3 a = Decoded<fattr3>(reply);
    EXPECT_EQ(reply.Left(), 0u) << "84 bytes of fattr3";
    EXPECT_EQ(a.type, 1u);
    EXPECT_EQ(a.mode, 0x81B6u);
    EXPECT_EQ(a.size, 1000u);
    EXPECT_EQ(a.used, 1000u);
    EXPECT_EQ(a.fsid, 4u);
    EXPECT_EQ(a.fileid, IndexOf(file));
    EXPECT_EQ(a.uid, 0u);
    EXPECT_GE(a.nlink, 1u);
    EXPECT_GT(a.mtime.seconds, 1000000000u);
    EXPECT_EQ(a.mtime.nseconds, 0u);

    WordReader folder = bed.Nfs3(kGetAttr, Handle(bed.Lookup(root, "Films")));
    ASSERT_EQ(folder.Word(), 0u);
    fattr3 f = Decoded<fattr3>(folder);
    EXPECT_EQ(f.type, 2u);
    EXPECT_EQ(f.mode, 0x41FFu);
}

TEST_F(Nfs3Attributes, GetAttrOfUnknownAndVanishedFiles) {
    std::vector<uint8_t> stale(64, 0);
    stale[0] = 0xEE;
    stale[1] = 0xEE;
    WordReader unknown = bed.Nfs3(kGetAttr, Handle(stale));
    EXPECT_EQ(unknown.Word(), 70u);
    EXPECT_EQ(unknown.Left(), 0u);

    std::vector<uint8_t> file = File();
    ASSERT_EQ(hostfs::Fs().RemoveFile(bed.InShare(1, "Movie.avi")), hostfs::HostError::kNone);
    WordReader gone = bed.Nfs3(kGetAttr, Handle(file));
    EXPECT_EQ(gone.Word(), 2u);
    EXPECT_EQ(gone.Left(), 0u);
}

TEST_F(Nfs3Attributes, LookupIsExactAboutLetterCase) {
    WordReader found = bed.Nfs3(kLookup, Handle(root).Text("Movie.avi"));
    ASSERT_EQ(found.Word(), 0u);
    std::vector<uint8_t> handle = found.Opaque();
    EXPECT_EQ(handle.size(), 64u);
    EXPECT_EQ(IndexOf(handle), FileManager().GetFileId(bed.InShare(1, "Movie.avi")));
    ASSERT_EQ(found.Word(), 1u);
    EXPECT_EQ(Decoded<fattr3>(found).size, 1000u);
    EXPECT_EQ(found.Word(), 0u) << "no directory attributes";
    EXPECT_EQ(found.Left(), 0u);

    WordReader wrongCase = bed.Nfs3(kLookup, Handle(root).Text("movie.AVI"));
    EXPECT_EQ(wrongCase.Word(), 2u);
    EXPECT_EQ(wrongCase.Word(), 0u);
    EXPECT_EQ(wrongCase.Left(), 0u);
}

// On POSIX a name ending in "." is a name like any other: a missing one is missing, and no
// table entry is made for it. Windows settles trailing dots itself.
TEST_F(Nfs3Attributes, AMissingNameEndingInADotIsMissing) {
    if (hostfs::Fs().SettlesTrailingDots()) GTEST_SKIP() << "Windows settles trailing dots";
    const uint32_t entries = FileManager().Count();
    for (const char* name : {"missing.", "Movie.avi.", "Films/."}) {
        EXPECT_EQ(bed.Nfs3(kLookup, Handle(root).Text(name)).Word(), name[0] == 'F' ? 13u : 2u)
            << name;
    }
    EXPECT_EQ(FileManager().Count(), entries);
    EXPECT_EQ(bed.Lookup(bed.Lookup(root, "Films"), ".").size(), 64u) << "the step itself";
}

// The server may run with more rights than whoever can write into a share: a link there must
// not serve what lies outside every share, neither itself nor what is reached through it.
TEST_F(Nfs3Attributes, LinksThatLeadOutOfTheSharesAreRefused) {
    if (hostfs::Fs().Separator() == '\\') GTEST_SKIP() << "links are followed on POSIX only";
    namespace stdfs = std::filesystem;
    ASSERT_TRUE(bed.Dir().MakeFile("secret.txt", "secret") && bed.Dir().MakeFolder("private"));
    ASSERT_TRUE(bed.Dir().MakeFile("private/key.txt", "key"));
    stdfs::create_symlink(bed.Dir().Join("secret.txt"), bed.InShare(1, "secret"));
    stdfs::create_directory_symlink(bed.Dir().Join("private"), bed.InShare(1, "private"));
    stdfs::create_symlink(bed.Dir().Join("planted.txt"), bed.InShare(1, "dangling"));
    std::vector<uint8_t> films = bed.Lookup(root, "Films");
    stdfs::remove(bed.InShare(1, "Films"));
    stdfs::create_directory_symlink(bed.Dir().Join("private"), bed.InShare(1, "Films"));

    for (const char* name : {"secret", "private", "dangling"}) {
        EXPECT_EQ(bed.Nfs3(kLookup, Handle(root).Text(name)).Word(), 13u) << name;
    }
    EXPECT_EQ(bed.Nfs3(kGetAttr, Handle(films)).Word(), 13u) << "a folder swapped for a link";
    EXPECT_EQ(bed.Nfs3(kLookup, Handle(films).Text("key.txt")).Word(), 13u);
    WordReader create = bed.Nfs3(8, WithNoAttributes(Handle(root).Text("dangling").Word(0)));
    EXPECT_EQ(create.Word(), 13u);
    EXPECT_FALSE(bed.Dir().Exists("planted.txt"));

    // Links that stay inside the shares keep working.
    stdfs::create_symlink(bed.InShare(1, "Movie.avi"), bed.InShare(1, "inside"));
    stdfs::create_directory_symlink(bed.Share(2), bed.InShare(1, "other share"));
    WordReader inside = bed.Nfs3(kGetAttr, Handle(bed.Lookup(root, "inside")));
    ASSERT_EQ(inside.Word(), 0u);
    EXPECT_EQ(Decoded<fattr3>(inside).size, 1000u);
    EXPECT_EQ(bed.Lookup(root, "other share").size(), 64u);
}

TEST_F(Nfs3Attributes, NamesCannotLeaveTheShare) {
    bed.Dir().MakeFile("secret.txt", "s");
    bed.Dir().MakeFile("share1/Films/inner.txt", "i");
    std::vector<std::string> refused = {"..", "../secret.txt", "Films/inner.txt",
                                        std::string("a\0b", 3)};
    if (hostfs::Fs().Separator() == '\\') {
        refused.push_back("Films\\inner.txt");
        refused.push_back("..\\secret.txt");
        refused.push_back("C:");
    }
    for (const std::string& name : refused) {
        WordReader reply = bed.Nfs3(kLookup, Handle(root).Text(name));
        EXPECT_EQ(reply.Word(), 13u) << name;
        EXPECT_EQ(reply.Word(), 0u) << name;
    }
    // "." and ".." inside the share keep working, as entries of their own.
    std::vector<uint8_t> films = bed.Lookup(root, "Films");
    std::vector<uint8_t> up = bed.Lookup(films, "..");
    ASSERT_EQ(up.size(), 64u);
    EXPECT_NE(IndexOf(up), IndexOf(root));
    EXPECT_EQ(bed.Lookup(up, "Movie.avi").size(), 64u);
    EXPECT_EQ(bed.Lookup(root, ".").size(), 64u);
    // But ".." of ".." climbs out.
    EXPECT_TRUE(bed.Lookup(up, "..").empty());
}

TEST_F(Nfs3Attributes, HandlesOfPathsOutsideEveryShareAreRefused) {
    bed.Dir().MakeFile("outside.txt", "o");
    const uint8_t* record = FileManager().GetHandle(bed.Dir().Join("outside.txt"));
    std::vector<uint8_t> outside(record, record + 64);
    EXPECT_EQ(bed.Nfs3(kGetAttr, Handle(outside)).Word(), 13u);
    EXPECT_EQ(bed.Nfs3(kLookup, Handle(outside).Text("x")).Word(), 13u);
    EXPECT_EQ(bed.Nfs3(kAccess, Handle(outside).Word(0x3F)).Word(), 13u);
}

TEST_F(Nfs3Attributes, AccessGrantsWhatIsAsked) {
    WordReader reply = bed.Nfs3(kAccess, Handle(File()).Word(0x3F));
    ASSERT_EQ(reply.Word(), 0u);
    ASSERT_EQ(reply.Word(), 1u);
    Decoded<fattr3>(reply);
    EXPECT_EQ(reply.Word(), 0x3Fu);
    EXPECT_EQ(reply.Left(), 0u);
}

TEST_F(Nfs3Attributes, SetAttrAppliesModeSizeAndTimes) {
    std::vector<uint8_t> file = File();
    const std::string path = bed.InShare(1, "Movie.avi");
    WordReader readOnly = bed.Nfs3(kSetAttr, Sattr(Handle(file), 0444));
    ASSERT_EQ(readOnly.Word(), 0u);
    EXPECT_EQ(readOnly.Word(), 0u) << "no before attributes";
    ASSERT_EQ(readOnly.Word(), 1u);
    EXPECT_EQ(Decoded<fattr3>(readOnly).mode, 0x8124u);
    hostfs::FileStatus status;
    ASSERT_EQ(hostfs::Fs().Status(path, status), hostfs::HostError::kNone);
    EXPECT_FALSE(status.writable);

    WordReader writable = bed.Nfs3(kSetAttr, Sattr(Handle(file), 0644));
    ASSERT_EQ(writable.Word(), 0u);
    writable.Word();
    writable.Word();
    EXPECT_EQ(Decoded<fattr3>(writable).mode, 0x81B6u);

    WordReader truncated = bed.Nfs3(kSetAttr, Sattr(Handle(file), -1, 10));
    ASSERT_EQ(truncated.Word(), 0u);
    truncated.Word();
    truncated.Word();
    EXPECT_EQ(Decoded<fattr3>(truncated).size, 10u);
    EXPECT_EQ(bed.Dir().Contents("share1/Movie.avi"), std::string(10, 'm'));

    WordReader extended = bed.Nfs3(kSetAttr, Sattr(Handle(file), -1, 4096));
    ASSERT_EQ(extended.Word(), 0u);
    ASSERT_EQ(hostfs::Fs().Status(path, status), hostfs::HostError::kNone);
    EXPECT_EQ(status.size, 4096u);

    WordReader timed =
        bed.Nfs3(kSetAttr, Sattr(Handle(file), -1, -1, 2, 1200000000, 2, 1300000000));
    ASSERT_EQ(timed.Word(), 0u);
    timed.Word();
    timed.Word();
    fattr3 a = Decoded<fattr3>(timed);
    EXPECT_EQ(a.atime.seconds, 1200000000u);
    EXPECT_EQ(a.mtime.seconds, 1300000000u);

    WordReader now = bed.Nfs3(kSetAttr, Sattr(Handle(file), -1, -1, 0, 0, 1));
    ASSERT_EQ(now.Word(), 0u);
    now.Word();
    now.Word();
    EXPECT_GT(Decoded<fattr3>(now).mtime.seconds, 1300000000u);
}

TEST_F(Nfs3Attributes, SetAttrOfAMissingFileWritesEmptyWcc) {
    std::vector<uint8_t> file = File();
    ASSERT_EQ(hostfs::Fs().RemoveFile(bed.InShare(1, "Movie.avi")), hostfs::HostError::kNone);
    WordReader reply = bed.Nfs3(kSetAttr, Sattr(Handle(file), 0644));
    EXPECT_EQ(reply.Word(), 2u);
    EXPECT_EQ(reply.Word(), 0u);
    EXPECT_EQ(reply.Word(), 0u);
    EXPECT_EQ(reply.Left(), 0u);
}

// Every cut of a call's arguments at a word is GARBAGE_ARGS with nothing but the header in the
// reply, and changes nothing: a procedure decodes all its arguments before it acts.
TEST_F(Nfs3Attributes, EveryCutOfTheArgumentsIsGarbageAndChangesNothing) {
    const std::vector<uint8_t> file = File();
    const XdrBytes name = Handle(root).Text("Movie.avi");
    const std::pair<uint32_t, XdrBytes> calls[] = {
        {kGetAttr, Handle(file)},
        {kSetAttr, Sattr(Handle(file), 0444, 0)},
        {kLookup, name},
        {kAccess, Handle(file).Word(0x3F)},
        {6, Handle(file).Hyper(0).Word(10)},                                // READ
        {7, Handle(file).Hyper(0).Word(4).Word(2).Text("data")},            // WRITE
        {8, WithNoAttributes(Handle(root).Text("cut.bin").Word(0))},        // CREATE
        {9, WithNoAttributes(Handle(root).Text("Cut"))},                    // MKDIR
        {13, Handle(root).Text("Films")},                                   // RMDIR
        {14, XdrBytes(name).Append(Handle(root).Text("moved.avi").Get())},  // RENAME
        {16, Handle(root).Hyper(0).Hyper(0).Word(4096)},                    // READDIR
        {17, Handle(root).Hyper(0).Hyper(0).Word(4096).Word(8192)},         // READDIRPLUS
        {18, Handle(root)},                                                 // FSSTAT
        {19, Handle(root)},                                                 // FSINFO
        {21, Handle(file).Hyper(0).Word(0)},                                // COMMIT
    };
    for (const auto& [procedure, args] : calls) {
        for (size_t size = 0; size < args.Size(); size += 4) {
            HandledCall call =
                bed.Call(100003, 3, procedure, XdrBytes().Bytes(args.Get().data(), size));
            EXPECT_EQ(call.result, kDispatchGarbage) << procedure << " cut at " << size;
            EXPECT_EQ(Words(call.reply).size(), 6u) << procedure << " cut at " << size;
        }
    }
    EXPECT_EQ(bed.Dir().Contents("share1/Movie.avi"), std::string(1000, 'm'));
    EXPECT_TRUE(HostWritable("Movie.avi"));
    EXPECT_TRUE(bed.Dir().Exists("share1/Films"));
    EXPECT_FALSE(bed.Dir().Exists("share1/cut.bin") || bed.Dir().Exists("share1/Cut") ||
                 bed.Dir().Exists("share1/moved.avi"));
}

TEST_F(Nfs3Attributes, ProceduresOutsideTheServedSetAreUnavailable) {
    for (uint32_t procedure : {5u, 10u, 11u, 12u, 15u, 20u, 22u, 1000u}) {
        HandledCall call = bed.Call(100003, 3, procedure, XdrBytes());
        EXPECT_EQ(call.result, kDispatchProcUnavail) << procedure;
        EXPECT_EQ(Words(call.reply).size(), 6u);
    }
}

}  // namespace
