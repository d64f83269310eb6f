#include <gtest/gtest.h>

#include <filesystem>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "NfsTestbed.h"

namespace {

constexpr uint32_t kMount = 100005;

class Mount : public ::testing::Test {
  protected:
    // The words after the accept status of a MNT of `path`.
    WordReader Mnt(const std::string& path, uint32_t version = 3, const char* client = "10.0.0.1") {
        HandledCall call = bed.Call(kMount, version, 1, XdrBytes().Text(path), client);
        WordReader reader = AfterHeader(call);
        EXPECT_EQ(reader.Word(), 0u);
        return reader;
    }
    void Umnt(const std::string& path, const char* client) {
        HandledCall call = bed.Call(kMount, 3, 3, XdrBytes().Text(path), client);
        EXPECT_EQ(Words(call.reply).size(), 6u) << "UMNT answers the bare accepted header";
    }
    std::vector<uint8_t> HandleOf(const std::string& path) {
        const uint8_t* record = FileManager().GetHandle(path);
        return std::vector<uint8_t>(record, record + 64);
    }

    NfsTestbed bed{4};
};

TEST_F(Mount, Version3AnswersTheShareRootHandleWhateverTheLetterCase) {
    WordReader reply = Mnt("/QUONHD2");
    EXPECT_EQ(reply.Word(), 0u);
    EXPECT_EQ(reply.Opaque(), HandleOf(bed.Share(2)));
    EXPECT_EQ(reply.Word(), 0u) << "empty list of authentication flavours";
    EXPECT_EQ(reply.Left(), 0u);
}

TEST_F(Mount, Version1AnswersTheFirst32BytesWithoutALength) {
    WordReader reply = Mnt("/quonhd1", 1);
    EXPECT_EQ(reply.Word(), 0u);
    std::vector<uint8_t> handle = HandleOf(bed.Share(1));
    EXPECT_EQ(reply.Bytes(32), std::vector<uint8_t>(handle.begin(), handle.begin() + 32));
    EXPECT_EQ(reply.Left(), 0u);
}

TEST_F(Mount, RefusedMountsSayWhyAndChangeNothing) {
    for (const char* path : {"/quonhd5", "/", "/quonhd1/", "quonhd1", "/quonhd1/movies"}) {
        WordReader reply = Mnt(path);
        EXPECT_EQ(reply.Word(), 2u) << path;
        EXPECT_EQ(reply.Left(), 0u) << path;
    }
    std::string longPath(2000, 'x');
    longPath.replace(0, 8, "/quonhd1");
    EXPECT_EQ(Mnt(longPath).Word(), 2u);

    bed.events.SetState(kShareStopped);
    WordReader stopped = Mnt("/quonhd1");
    EXPECT_EQ(stopped.Word(), 13u);
    EXPECT_EQ(stopped.Left(), 0u);
    EXPECT_EQ(bed.mount.GetMountCount(), 0);
    EXPECT_EQ(bed.events.Connected(), 0);
}

// libnfs mounts the folder of the URL it is given: nfs-cp nfs://pc/quonhd1/Films/a.avi asks
// for "/quonhd1/Films". The folder is found as LOOKUP finds it, name by name.
TEST_F(Mount, AFolderInsideAShareMountsLikeTheShare) {
    ASSERT_TRUE(bed.Dir().MakeFolder("share1/Films/2024") && bed.Dir().MakeFolder("outside"));
    ASSERT_TRUE(bed.Dir().MakeFile("share1/Films/a.avi"));
    const std::vector<uint8_t> films = bed.Lookup(bed.Root(1), "Films");
    const std::vector<uint8_t> year = bed.Lookup(films, "2024");
    WordReader deep = Mnt("/QUONHD1/Films/2024");
    EXPECT_EQ(deep.Word(), 0u);
    EXPECT_EQ(deep.Opaque(), year);
    EXPECT_EQ(deep.Word(), 0u);
    WordReader v1 = Mnt("/quonhd1/Films", 1);
    EXPECT_EQ(v1.Word(), 0u);
    EXPECT_EQ(v1.Bytes(32), std::vector<uint8_t>(films.begin(), films.begin() + 32));
    EXPECT_EQ(bed.mount.GetMountCount(), 3) << "the root's mount, then these two";
    EXPECT_EQ(bed.events.Connected(), 3);

    std::vector<std::string> refused = {
        "/quonhd1/films",   "/quonhd1/Films/a.avi", "/quonhd1/Films/",     "/quonhd1//Films",
        "/quonhd1/./Films", "/quonhd1/Films/..",    "/quonhd1/../outside", "/quonhd2/Films",
        "/quonhd1Films",    "/quonhd1/Missing"};
    if (hostfs::Fs().Separator() != '\\') {
        std::filesystem::create_directory_symlink(bed.Dir().Join("outside"),
                                                  bed.InShare(1, "Films/away"));
        refused.push_back("/quonhd1/Films/away");
    }
    for (const std::string& path : refused) EXPECT_EQ(Mnt(path).Word(), 2u) << path;
    EXPECT_EQ(bed.mount.GetMountCount(), 3);
}

TEST_F(Mount, CountsMountsAndNotifiesPerClient) {
    Mnt("/quonhd1", 3, "10.0.0.1");
    EXPECT_EQ(bed.mount.GetMountCount(), 1);
    Mnt("/quonhd1", 3, "10.0.0.2");
    EXPECT_EQ(bed.mount.GetMountCount(), 2);
    Umnt("/quonhd1", "10.0.0.1");
    EXPECT_EQ(bed.mount.GetMountCount(), 1);
    EXPECT_EQ(bed.events.Connected(), 2);
    EXPECT_EQ(bed.events.Disconnected(), 1);
    // A client that never mounted changes nothing.
    Umnt("/quonhd1", "10.9.9.9");
    EXPECT_EQ(bed.mount.GetMountCount(), 1);
    EXPECT_EQ(bed.events.Disconnected(), 1);
    // One client mounting twice is listed once: its one UMNT lowers the count once.
    Mnt("/quonhd2", 3, "10.0.0.3");
    Mnt("/quonhd2", 3, "10.0.0.3");
    Umnt("/quonhd2", "10.0.0.3");
    Umnt("/quonhd2", "10.0.0.3");
    EXPECT_EQ(bed.mount.GetMountCount(), 2);
}

TEST_F(Mount, ABareDriveBecomesItsRootWithAFinalDot) {
    bed.mount.SetSharePaths("D:", "", "", "");
    std::string root = std::string("D:") + hostfs::Fs().Separator() + ".";
    std::vector<uint8_t> bare = HandleOf("D:");
    WordReader v1 = Mnt("/quonhd1", 1);
    v1.Word();
    EXPECT_EQ(v1.Bytes(32), std::vector<uint8_t>(bare.begin(), bare.begin() + 32));
    WordReader v3 = Mnt("/quonhd1", 3);
    v3.Word();
    EXPECT_EQ(v3.Opaque(), HandleOf(root));
    WordReader after = Mnt("/quonhd1", 1);
    after.Word();
    std::vector<uint8_t> dotted = HandleOf(root);
    EXPECT_EQ(after.Bytes(32), std::vector<uint8_t>(dotted.begin(), dotted.begin() + 32));
}

TEST_F(Mount, NullAndUnservedProcedures) {
    EXPECT_EQ(Words(bed.Call(kMount, 3, 0, XdrBytes()).reply).size(), 6u);
    for (uint32_t procedure : {2u, 4u, 6u, 200u}) {
        HandledCall call = bed.Call(kMount, 3, procedure, XdrBytes());
        EXPECT_EQ(call.result, kDispatchProcUnavail) << procedure;
        EXPECT_EQ(Words(call.reply).back(), 3u) << procedure;
    }
    HandledCall shortPath = bed.Call(kMount, 3, 1, XdrBytes().Word(8).Bytes("/quo", 4));
    EXPECT_EQ(shortPath.result, kDispatchGarbage);
}

TEST_F(Mount, ExportListsExactlyTheSharesThatHaveAFolder) {
    bed.mount.SetSharePaths(bed.Share(1).c_str(), "", bed.Share(3).c_str(), nullptr);
    for (uint32_t version : {1u, 3u}) {
        WordReader reply = AfterHeader(bed.Call(kMount, version, 5, XdrBytes()));
        EXPECT_EQ(reply.Word(), 0u);
        std::vector<std::string> exports;
        while (reply.Word() == 1) {
            std::vector<uint8_t> name = reply.Opaque();
            exports.emplace_back(name.begin(), name.end());
            EXPECT_EQ(reply.Word(), 0u) << "no groups";
        }
        EXPECT_EQ(exports, (std::vector<std::string>{"/quonhd1", "/quonhd3"}));
        EXPECT_EQ(reply.Left(), 0u);
    }
}

}  // namespace
