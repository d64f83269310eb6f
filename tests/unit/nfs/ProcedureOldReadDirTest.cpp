#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "DatagramSocket.h"
#include "DorvelFileManager.h"
#include "FaultyFs.h"
#include "HostFs.h"
#include "Loopback.h"
#include "Nfs2Calls.h"
#include "SharePaths.h"

namespace {

using namespace nfs2;

// The folder's names in the host's order, "." and ".." included where the host lists them.
std::vector<std::string> HostListing(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<hostfs::IListing> listing = hostfs::Fs().List(folder);
    std::string name;
    while (listing != nullptr && listing->Next(name)) names.push_back(name);
    return names;
}

std::vector<std::string> NamesOf(const std::vector<Entry>& entries) {
    std::vector<std::string> names;
    for (const Entry& entry : entries) names.push_back(entry.name);
    return names;
}

std::string Numbered(const char* prefix, int i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s-%04d.avi", prefix, i);
    return name;
}

class Nfs2ReadDir : public ::testing::Test {
  protected:
    Nfs2ReadDir() { root = client.Root(1); }

    // One READDIR reply: its entries, eof, and the size of the readdirres.
    std::vector<Entry> ReadDir(const Handle& folder, uint32_t cookie, uint32_t count, bool& eof,
                               size_t& size) {
        WordReader reply = client.Call(kReadDir, ReadDirArgs(folder, cookie, count));
        size = reply.Left();
        EXPECT_EQ(reply.Word(), 0u);
        std::vector<Entry> entries = ReadEntries(reply, eof);
        EXPECT_EQ(reply.Left(), 0u);
        return entries;
    }

    // The whole listing in replies of `count` bytes; checks every piece on the way.
    std::vector<Entry> ReadAll(const Handle& folder, uint32_t count, int& replies) {
        std::vector<Entry> all;
        bool eof = false;
        for (replies = 0; !eof && replies < 10000; ++replies) {
            size_t size = 0;
            uint32_t cookie = all.empty() ? 0 : all.back().cookie;
            std::vector<Entry> piece = ReadDir(folder, cookie, count, eof, size);
            EXPECT_FALSE(piece.empty()) << "every reply moves on";
            if (piece.size() > 1) {
                EXPECT_LE(size, count);
            }
            for (const Entry& entry : piece) {
                EXPECT_EQ(entry.cookie, all.size() + 1) << entry.name;
                all.push_back(entry);
            }
        }
        EXPECT_TRUE(eof);
        return all;
    }

    NfsTestbed bed;
    Client client{bed};
    Handle root;
};

TEST_F(Nfs2ReadDir, AFolderThatFitsIsListedWholeWithOrdinalCookiesWhateverTheCookie) {
    ASSERT_TRUE(bed.Dir().MakeFolder("share1/Films"));
    for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
        ASSERT_TRUE(bed.Dir().MakeFile(std::string("share1/Films/") + name, name));
    }
    const std::string path = bed.InShare(1, "Films");
    const std::vector<std::string> host = HostListing(path);
    ASSERT_EQ(host.size(), 5u) << "three files, \".\" and \"..\"";
    Handle films = client.Lookup(root, "Films");
    for (uint32_t cookie : {0u, 2u, 5u, 12345u}) {
        bool eof = false;
        size_t size = 0;
        std::vector<Entry> entries = ReadDir(films, cookie, 8192, eof, size);
        EXPECT_TRUE(eof) << cookie;
        EXPECT_EQ(NamesOf(entries), host) << cookie;
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].cookie, i + 1);
            EXPECT_EQ(entries[i].fileid, FileManager().GetFileId(JoinHostPath(path, host[i])));
        }
    }
    Handle a = client.Lookup(films, "a.avi");
    ASSERT_EQ(a.size(), 32u);
    bool eof = false;
    size_t size = 0;
    std::vector<Entry> entries = ReadDir(films, 0, 8192, eof, size);
    auto listed = std::find_if(entries.begin(), entries.end(),
                               [](const Entry& entry) { return entry.name == "a.avi"; });
    ASSERT_NE(listed, entries.end());
    EXPECT_EQ(listed->fileid, uint32_t(a[0] | (a[1] << 8) | (a[2] << 16) | (a[3] << 24)));
}

TEST_F(Nfs2ReadDir, ALongerListingComesInPiecesOfTheClientsCount) {
    for (int i = 0; i < 60; ++i) ASSERT_TRUE(bed.Dir().MakeFile("share1/" + Numbered("film", i)));
    const std::vector<std::string> host = HostListing(bed.Share(1));
    int replies = 0;
    std::vector<Entry> all = ReadAll(root, 256, replies);
    EXPECT_EQ(NamesOf(all), host);
    EXPECT_GT(replies, 4);

    // Resuming in the middle gives what follows that cookie, and nothing past the end.
    bool eof = true;
    size_t size = 0;
    std::vector<Entry> middle = ReadDir(root, 30, 512, eof, size);
    ASSERT_FALSE(middle.empty());
    EXPECT_EQ(middle.front().cookie, 31u);
    EXPECT_EQ(middle.front().name, host[30]);
    EXPECT_FALSE(eof);
    std::vector<Entry> beyond = ReadDir(root, uint32_t(host.size()) + 7, 512, eof, size);
    EXPECT_TRUE(beyond.empty());
    EXPECT_TRUE(eof);
}

TEST_F(Nfs2ReadDir, ACountTooSmallForOneEntryStillMovesOneAtATime) {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(bed.Dir().MakeFile("share1/" + Numbered("tiny", i)));
    const std::vector<std::string> host = HostListing(bed.Share(1));
    int replies = 0;
    std::vector<Entry> all = ReadAll(root, 16, replies);
    EXPECT_EQ(NamesOf(all), host);
    EXPECT_EQ(replies, int(host.size()));
}

TEST_F(Nfs2ReadDir, NoReplyCarriesMoreThanOneReadsWorth) {
    for (int i = 0; i < 320; ++i) ASSERT_TRUE(bed.Dir().MakeFile("share1/" + Numbered("big", i)));
    bool eof = true;
    size_t size = 0;
    std::vector<Entry> entries = ReadDir(root, 0, 0xFFFFFFFF, eof, size);
    EXPECT_FALSE(eof);
    EXPECT_LE(size, 8192u);
    EXPECT_GT(size, 8192u - 40) << "filled up to the cap";
}

TEST_F(Nfs2ReadDir, AFolderTheHostCannotListHasNoEntries) {
    FaultyFs faulty;
    faulty.Fail(Fault::kList);
    WordReader reply = client.Call(kReadDir, ReadDirArgs(root, 0, 4096));
    EXPECT_EQ(reply.Left(), 12u);
    EXPECT_EQ(reply.Word(), 0u);
    EXPECT_EQ(reply.Word(), 0u) << "no entry";
    EXPECT_EQ(reply.Word(), 1u) << "eof";
    EXPECT_EQ(faulty.Hits(Fault::kList), 1);
}

// Sockets on loopback for the length of a test: started before any socket is made and ended
// after the last one is closed.
class LoopbackNetwork {
  public:
    LoopbackNetwork() {
        net::Startup();
        // Index 1 of this host entry is the loopback address: the server binds to it alone.
        net::SetLocalHostEntrySource([](net::HostEntry& entry) {
            entry.name = "test";
            entry.addresses = {kLoopback};
            return true;
        });
    }
    ~LoopbackNetwork() {
        net::SetLocalHostEntrySource(nullptr);
        net::Cleanup();
    }
};

// The whole road of a version 2 client: MOUNT and READDIR calls as datagrams to a UDP port on
// loopback, the listing of 3,000 files coming back in replies of the client's count.
class Nfs2OverUdp : public ::testing::Test {
  protected:
    Nfs2OverUdp() { udp.SetListener(&bed.daemon); }
    ~Nfs2OverUdp() override { udp.Close(); }

    // The words of the reply to one call, after its accept status; empty when none came.
    std::optional<WordReader> Exchange(uint32_t xid, uint32_t program, uint32_t version,
                                       uint32_t procedure, const XdrBytes& args) {
        CallHeaderSpec h;
        h.xid = xid;
        h.program = program;
        h.version = version;
        h.procedure = procedure;
        if (!socket.SendTo(udp.GetPort(), MakeCall(h, args.Get()))) return std::nullopt;
        std::optional<std::vector<uint8_t>> datagram = socket.ReceiveDatagram();
        if (!datagram) return std::nullopt;
        WordReader reply(*datagram);
        if (reply.Word() != xid) return std::nullopt;
        reply.Bytes(16);
        if (reply.Word() != 0) return std::nullopt;
        return reply;
    }

    LoopbackNetwork network;
    NfsTestbed bed;
    Client client{bed};
    CDatagramSocket udp;
    ClientSocket socket = ClientSocket::Udp();
};

TEST_F(Nfs2OverUdp, AListingOfThreeThousandFilesArrivesInPieces) {
    bed.Dir().MakeFolder("share1/Many");
    for (int i = 0; i < 3000; ++i) {
        ASSERT_TRUE(bed.Dir().MakeFile("share1/Many/" + Numbered("clip", i)));
    }
    const std::vector<std::string> host = HostListing(bed.InShare(1, "Many"));
    ASSERT_TRUE(udp.Open(false, 1, 0));

    std::optional<WordReader> mount = Exchange(1, 100005, 1, 1, XdrBytes().Text("/quonhd1"));
    ASSERT_TRUE(mount);
    ASSERT_EQ(mount->Word(), 0u);
    Handle root = mount->Bytes(32);
    std::optional<WordReader> lookup = Exchange(2, 100003, 2, kLookup, DirOp(root, "Many"));
    ASSERT_TRUE(lookup);
    ASSERT_EQ(lookup->Word(), 0u);
    Handle many = lookup->Bytes(32);

    std::vector<std::string> names;
    uint32_t cookie = 0;
    bool eof = false;
    int replies = 0;
    for (; !eof && replies < 200; ++replies) {
        std::optional<WordReader> reply =
            Exchange(100 + replies, 100003, 2, kReadDir, ReadDirArgs(many, cookie, 4096));
        ASSERT_TRUE(reply) << "reply " << replies;
        EXPECT_LE(reply->Left(), 4096u);
        ASSERT_EQ(reply->Word(), 0u);
        std::vector<Entry> piece = ReadEntries(*reply, eof);
        ASSERT_FALSE(piece.empty());
        for (const Entry& entry : piece) {
            EXPECT_EQ(entry.cookie, names.size() + 1);
            names.push_back(entry.name);
        }
        cookie = piece.back().cookie;
    }
    EXPECT_TRUE(eof);
    EXPECT_EQ(names, host);
    EXPECT_GT(replies, 20);
}

}  // namespace
