#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "DorvelFileManager.h"
#include "FaultyFs.h"
#include "HostFs.h"
#include "Nfs3Reply.h"
#include "NfsTestbed.h"
#include "QDV_NFSManager.h"
#include "Socket.h"

namespace {

enum Procedure : uint32_t { kGetAttr = 1, kMkdir = 9, kRmdir = 13, kRename = 14 };

XdrBytes RenameArgs(const std::vector<uint8_t>& from, const std::string& fromName,
                    const std::vector<uint8_t>& to, const std::string& toName) {
    return Handle(from).Text(fromName).Append(Handle(to).Text(toName).Get());
}

class Nfs3Folders : public ::testing::Test {
  protected:
    Nfs3Folders() {
        bed.Dir().MakeFile("share1/movie.avi", "movie");
        bed.Dir().MakeFile("share1/other.avi", "other");
        bed.Dir().MakeFolder("share1/Full");
        bed.Dir().MakeFile("share1/Full/inside.txt", "i");
        bed.Dir().MakeFolder("share1/Empty");
        root = bed.Root(1);
        root2 = bed.Root(2);
    }

    uint32_t Rename(const std::string& fromName, const std::vector<uint8_t>& to,
                    const std::string& toName) {
        WordReader reply = bed.Nfs3(kRename, RenameArgs(root, fromName, to, toName));
        uint32_t status = reply.Word();
        EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{0, 0, 0, 0})) << fromName;
        return status;
    }

    // RMDIR's status; its wcc_data is always FALSE, FALSE.
    uint32_t Rmdir(const std::vector<uint8_t>& folder, const std::string& name) {
        WordReader reply = bed.Nfs3(kRmdir, Handle(folder).Text(name));
        uint32_t status = reply.Word();
        EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{0, 0})) << name;
        return status;
    }

    NfsTestbed bed;
    std::vector<uint8_t> root;
    std::vector<uint8_t> root2;
    const std::vector<uint8_t> stale = std::vector<uint8_t>(64, 0xEE);
};

TEST_F(Nfs3Folders, MkdirAnswersTheFolderAndItsParent) {
    WordReader reply = bed.Nfs3(kMkdir, WithNoAttributes(Handle(root).Text("New")));
    NewEntry made = ReadNewEntry(reply);
    ASSERT_EQ(made.handle.size(), 64u);
    EXPECT_EQ(IndexOf(made.handle), FileManager().GetFileId(bed.InShare(1, "New")));
    EXPECT_EQ(made.attributes.type, 2u);
    EXPECT_EQ(reply.Word(), 0u) << "no before attributes";
    ASSERT_EQ(reply.Word(), 1u);
    fattr3 parent = Decoded<fattr3>(reply);
    EXPECT_EQ(parent.type, 2u);
    EXPECT_EQ(parent.fileid, IndexOf(root));
    EXPECT_EQ(reply.Left(), 0u);
    EXPECT_TRUE(bed.Dir().Exists("share1/New"));
}

TEST_F(Nfs3Folders, MkdirRefusals) {
    FaultyFs faulty;
    faulty.Fail(Fault::kMakeFolder, "Refused");
    struct Case {
        std::vector<uint8_t> folder;
        std::string name;
        uint32_t status;
    };
    const Case refused[] = {
        {root, "Empty", 17}, {root, "movie.avi", 17}, {stale, "x", 5}, {root, "Refused", 5}};
    for (const Case& c : refused) {
        WordReader reply = bed.Nfs3(kMkdir, WithNoAttributes(Handle(c.folder).Text(c.name)));
        EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{c.status, 0, 0})) << c.name;
    }
    for (const char* name : {"..", "../Out", "a/b"}) {
        WordReader reply = bed.Nfs3(kMkdir, WithNoAttributes(Handle(root).Text(name)));
        EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{13, 0, 0})) << name;
    }
    EXPECT_FALSE(bed.Dir().Exists("Out"));
    EXPECT_TRUE(bed.events.Messages().empty());
}

TEST_F(Nfs3Folders, RmdirRemovesOnlyEmptyFolders) {
    std::vector<uint8_t> empty = bed.Lookup(root, "Empty");
    EXPECT_EQ(Rmdir(root, "Full"), 66u) << "not empty";
    EXPECT_TRUE(bed.Dir().Exists("share1/Full/inside.txt"));
    EXPECT_EQ(Rmdir(root, "movie.avi"), 20u) << "not a folder";
    EXPECT_EQ(Rmdir(root, "Empty"), 0u);
    EXPECT_FALSE(bed.Dir().Exists("share1/Empty"));
    EXPECT_EQ(bed.Nfs3(kGetAttr, Handle(empty)).Word(), 2u);
    EXPECT_EQ(Rmdir(root, "Empty"), 2u);
    EXPECT_EQ(Rmdir(stale, "Empty"), 70u);
}

// Names that lead to the folder itself: the empty name joins to the folder's own path, and
// Windows drops the trailing dots and blanks of "..." or ". " (and of "Void ", which then names
// Void only as another spelling, and is missing under its own).
TEST_F(Nfs3Folders, NamesThatLeadToTheFolderItselfAreRefused) {
    const bool windows = hostfs::Fs().Separator() == '\\';
    ASSERT_TRUE(bed.Dir().MakeFolder("share1/Void"));
    std::vector<uint8_t> emptyFolder = bed.Lookup(root, "Void");
    for (const std::string name : {"", "...", ". ", " ", "Void "}) {
        const uint32_t refused = name.empty() || (windows && name != "Void ") ? 13 : 2;
        EXPECT_EQ(Rmdir(emptyFolder, name), refused) << "'" << name << "'";
        EXPECT_EQ(Rename(name, root2, "Stolen"), refused) << "'" << name << "'";
        EXPECT_EQ(bed.Nfs3(3, Handle(root).Text(name)).Word(), refused) << "'" << name << "'";
    }
    EXPECT_TRUE(bed.Dir().Exists("share1/Void"));
    EXPECT_FALSE(bed.Dir().Exists("share2/Stolen"));
}

// Windows resolves "." and ".." itself: removing or moving through them would reach the
// folder they stand for, down to a share's own folder.
TEST_F(Nfs3Folders, DotStepsAreNeverRemovedOrMoved) {
    bed.Dir().MakeFolder("share1/Empty/Inner");
    std::vector<uint8_t> inner = bed.Lookup(bed.Lookup(root, "Empty"), "Inner");
    EXPECT_EQ(Rmdir(root2, "."), 13u);
    EXPECT_EQ(Rmdir(inner, ".."), 13u);
    EXPECT_EQ(Rmdir(inner, "."), 13u);
    ASSERT_EQ(bed.Lookup(root, ".").size(), 64u);
    EXPECT_EQ(Rename(".", root2, "Stolen"), 13u);
    EXPECT_TRUE(bed.Dir().Exists("share1/Empty/Inner"));
    EXPECT_TRUE(bed.Dir().Exists("share2"));
    EXPECT_FALSE(bed.Dir().Exists("share2/Stolen"));
}

TEST_F(Nfs3Folders, RenameAcrossSharesKeepsTheHandle) {
    std::vector<uint8_t> movie = bed.Lookup(root, "movie.avi");
    EXPECT_EQ(Rename("movie.avi", root2, "moved.avi"), 0u);
    EXPECT_FALSE(bed.Dir().Exists("share1/movie.avi"));
    EXPECT_EQ(bed.Dir().Contents("share2/moved.avi"), "movie");
    WordReader attributes = bed.Nfs3(kGetAttr, Handle(movie));
    ASSERT_EQ(attributes.Word(), 0u);
    EXPECT_EQ(Decoded<fattr3>(attributes).size, 5u);
    EXPECT_EQ(bed.Lookup(root2, "moved.avi"), movie);
}

// libnfs' nfs_rename, and any client after a restart of ours, renames without a LOOKUP first;
// a folder's move takes the handles of everything inside it along.
TEST_F(Nfs3Folders, RenameMovesUnmetNamesAndTakesTheHandlesInsideAlong) {
    ASSERT_TRUE(bed.Dir().MakeFile("share1/unseen.avi", "u"));
    EXPECT_EQ(Rename("unseen.avi", root, "seen.avi"), 0u);
    EXPECT_EQ(bed.Dir().Contents("share1/seen.avi"), "u");
    std::vector<uint8_t> inside = bed.Lookup(bed.Lookup(root, "Full"), "inside.txt");
    ASSERT_EQ(inside.size(), 64u);
    EXPECT_EQ(Rename("Full", root2, "Moved"), 0u);
    WordReader attributes = bed.Nfs3(kGetAttr, Handle(inside));
    ASSERT_EQ(attributes.Word(), 0u);
    EXPECT_EQ(Decoded<fattr3>(attributes).size, 1u);
    EXPECT_EQ(bed.Lookup(bed.Lookup(root2, "Moved"), "inside.txt"), inside);
}

TEST_F(Nfs3Folders, RenameRefusalsChangeNothing) {
    bed.Lookup(root, "movie.avi");
    bed.Lookup(root, "other.avi");
    EXPECT_EQ(Rename("movie.avi", root, "other.avi"), 17u);
    EXPECT_EQ(Rename("movie.avi", stale, "x.avi"), 5u);
    EXPECT_EQ(Rename("movie.avi", root, "../out.avi"), 13u);
    EXPECT_EQ(Rename("missing.avi", root, "x.avi"), 2u);
    EXPECT_EQ(bed.Nfs3(kRename, RenameArgs(stale, "movie.avi", root, "x.avi")).Word(), 70u);
    EXPECT_EQ(bed.Dir().Contents("share1/movie.avi"), "movie");
    EXPECT_EQ(bed.Dir().Contents("share1/other.avi"), "other");
    EXPECT_FALSE(bed.Dir().Exists("share1/x.avi"));
    EXPECT_FALSE(bed.Dir().Exists("out.avi"));

    FaultyFs faulty;
    faulty.Fail(Fault::kMove);
    EXPECT_EQ(Rename("movie.avi", root, "x.avi"), 5u);
    EXPECT_EQ(faulty.Hits(Fault::kMove), 1);
}

// Over UDP a client resends a call whose reply it missed, with the same xid. A second run of a
// change that already happened would answer NOENT or EXIST for it; the retransmission gets the
// first call's reply instead, in both versions.
TEST_F(Nfs3Folders, RetransmittedChangesAnswerWhatTheFirstCallDid) {
    bed.nfs = std::make_unique<CQDV_NFSManager>();
    bed.daemon.Register(100003, bed.nfs.get());
    const struct {
        uint32_t version;
        uint32_t procedure;
        XdrBytes args;
    } changes[] = {
        {3, kRmdir, Handle(root).Text("Empty")},
        {3, kRename, RenameArgs(root, "movie.avi", root2, "moved.avi")},
        {3, kMkdir, WithNoAttributes(Handle(root).Text("Made"))},
        {3, 8, WithNoAttributes(Handle(root).Text("guarded.bin").Word(1))},
        {2, 10, XdrBytes().Bytes(root.data(), 32).Text("other.avi")},
    };
    uint32_t xid = 9000;
    for (const auto& change : changes) {
        CallHeaderSpec h;
        h.xid = ++xid;
        h.program = 100003;
        h.version = change.version;
        h.procedure = change.procedure;
        const std::vector<uint8_t> call = MakeCall(h, change.args.Get());
        HandledCall first = RunCall(bed.daemon, kTransportUdp, call, "10.0.0.9", 800);
        HandledCall again = RunCall(bed.daemon, kTransportUdp, call, "10.0.0.9", 800);
        EXPECT_EQ(AfterHeader(first).Bytes(8), (std::vector<uint8_t>(8, 0))) << change.procedure;
        EXPECT_EQ(again.reply, first.reply) << change.procedure;
    }
    EXPECT_FALSE(bed.Dir().Exists("share1/Empty") || bed.Dir().Exists("share1/other.avi"));
    EXPECT_TRUE(bed.Dir().Exists("share2/moved.avi") && bed.Dir().Exists("share1/Made"));
}

TEST_F(Nfs3Folders, RemoveStaysUnserved) {
    HandledCall call = bed.Call(100003, 3, 12, Handle(root).Text("movie.avi"));
    EXPECT_EQ(call.result, kDispatchProcUnavail);
    EXPECT_TRUE(bed.Dir().Exists("share1/movie.avi"));
}

}  // namespace

// The client met "New/film", then "Old/film", which another program then removed with its
// folder; the client moves "New" to "Old". The moved file's entry and the stale one now hold the
// same path, and the table finds the stale one first. Every call that reports the moved handle's
// attributes reports that handle's own fileid in both versions, also from a transfer: a client
// that sees it change takes the file for another ("fileid changed").
TEST_F(Nfs3Folders, AMovedHandleKeepsItsOwnFileid) {
    bed.nfs = std::make_unique<CQDV_NFSManager>();
    bed.daemon.Register(100003, bed.nfs.get());
    for (const char* folder : {"share1/New", "share1/Old"}) {
        ASSERT_TRUE(bed.Dir().MakeFolder(folder) &&
                    bed.Dir().MakeFile(std::string(folder) + "/film", "film"));
    }
    const std::vector<uint8_t> moved = bed.Lookup(bed.Lookup(root, "New"), "film");
    ASSERT_FALSE(bed.Lookup(bed.Lookup(root, "Old"), "film").empty());
    ASSERT_EQ(std::filesystem::remove_all(bed.InShare(1, "Old")), 2u);
    ASSERT_EQ(Rename("New", root, "Old"), 0u);
    const std::vector<uint8_t> v2(moved.begin(), moved.begin() + 32);
    const struct {
        uint32_t version, procedure;
        XdrBytes args;
        size_t fileidAt;  // bytes into the results; a hyper in version 3, a word in version 2
    } cases[] = {
        {3, kGetAttr, Handle(moved), 4 + 52},
        {3, 6, Handle(moved).Hyper(0).Word(4), 4 + 4 + 52},                       // READ
        {2, 1, XdrBytes().Append(v2), 4 + 40},                                    // GETATTR
        {2, 8, XdrBytes().Append(v2).Word(0).Word(0).Word(0).Text("x"), 4 + 40},  // WRITE
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + " " + std::to_string(c.procedure));
        WordReader reply = AfterHeader(bed.Call(100003, c.version, c.procedure, c.args));
        ASSERT_EQ(reply.Word(), 0u);
        ASSERT_EQ(reply.Word(), 0u);
        reply.Bytes(c.fileidAt - 4);
        EXPECT_EQ(c.version == 3 ? reply.Hyper() : reply.Word(), IndexOf(moved));
    }
}
