#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "DatagramSocket.h"
#include "DorvelFileManager.h"
#include "FaultyFs.h"
#include "HostFs.h"
#include "Loopback.h"
#include "Nfs3Reply.h"
#include "NfsTestbed.h"
#include "RpcClient.h"
#include "ServerDaemon.h"
#include "ServerSocket.h"
#include "TempDir.h"

namespace {

constexpr uint32_t kTestNet = 0xC0000201;  // 192.0.2.1, an address no test sends to

// Starts the server on free loopback ports; the host entry lists a network address first and
// the loopback address second, which the sockets bind to.
class ServerDaemon : public ::testing::Test {
  protected:
    ServerDaemon() {
        net::Startup();
        UseHostAddresses({kTestNet, kLoopback});
        std::vector<uint16_t> ports = FreePorts(3);
        options.ports = {ports[0], ports[1], ports[2]};
    }
    ~ServerDaemon() override {
        StopServer();
        net::SetLocalHostEntrySource(nullptr);
        net::Cleanup();
    }

    static void UseHostAddresses(std::vector<uint32_t> addresses) {
        net::SetLocalHostEntrySource([addresses](net::HostEntry& entry) {
            entry.name = "test";
            entry.addresses = addresses;
            return true;
        });
    }

    int32_t Start(char* p1, char* p2 = nullptr, char* p3 = nullptr, char* p4 = nullptr) {
        return StartServerWith(options, 0, 0, 0, 0, 2, p1, p2, p3, p4);
    }

    // A call over UDP to one of the server's ports; the words after the accept status.
    std::optional<WordReader> Ask(uint16_t port, uint32_t program, uint32_t version,
                                  uint32_t procedure, const XdrBytes& args) {
        ClientSocket client = ClientSocket::Udp();
        CallHeaderSpec h;
        h.program = program;
        h.version = version;
        h.procedure = procedure;
        if (!client.SendTo(port, MakeCall(h, args.Get()))) return std::nullopt;
        auto reply = client.ReceiveDatagram();
        if (!reply) return std::nullopt;
        WordReader reader(*reply);
        reader.Bytes(20);
        if (reader.Word() != 0) return std::nullopt;
        return reader;
    }

    // Whether nothing of the server listens on the three ports any more.
    bool PortsAreFree() {
        for (uint16_t port : {options.ports.portmap, options.ports.nfs, options.ports.mount}) {
            CServerSocket tcp;
            CDatagramSocket udp;
            if (!tcp.Open(false, 2, port, 1) || !udp.Open(false, 2, port)) return false;
        }
        return true;
    }

    std::string ServedRootPath(int k) {
        auto reply =
            Ask(options.ports.mount, 100005, 3, 1, XdrBytes().Text("/quonhd" + std::to_string(k)));
        if (!reply || reply->Word() != 0) return "";
        std::vector<uint8_t> handle = reply->Opaque();
        const char* path = FileManager().GetPath(handle.data(), uint32_t(handle.size()));
        return path != nullptr ? path : "";
    }

    ServerOptions options;
    RecordingEvents events;
    TempDir dir;
};

TEST_F(ServerDaemon, ThePortmapperAnswersThePortsOfThisStart) {
    std::string share = dir.Path();
    ASSERT_EQ(Start(share.data()), kStartRunning);
    auto mount =
        Ask(options.ports.portmap, 100000, 2, 3, XdrBytes().Word(100005).Word(3).Word(17).Word(0));
    ASSERT_TRUE(mount);
    EXPECT_EQ(mount->Word(), options.ports.mount);
    auto nfs =
        Ask(options.ports.portmap, 100000, 2, 3, XdrBytes().Word(100003).Word(3).Word(6).Word(0));
    ASSERT_TRUE(nfs);
    EXPECT_EQ(nfs->Word(), options.ports.nfs);
    ASSERT_NE(ServerHostEntry(), nullptr);
    EXPECT_EQ(ServerHostEntry()->addresses.front(), kTestNet);
}

TEST_F(ServerDaemon, QuotesAndOneTrailingSeparatorAreCutInTheCallersText) {
    const char separator = hostfs::Fs().Separator();
    std::string quoted = "\"" + dir.Path() + separator + separator + "\"";
    std::vector<char> text(quoted.begin(), quoted.end());
    text.push_back('\0');
    ASSERT_EQ(Start(text.data()), kStartRunning);
    std::string expected = dir.Path() + separator;
    EXPECT_EQ(ServedRootPath(1), expected);
    EXPECT_EQ(std::string(text.data()), "\"" + expected) << "the opening quote stays";
}

TEST_F(ServerDaemon, AnyPresentPathStartsTheServer) {
    std::string share = dir.Path();
    ASSERT_EQ(Start(nullptr, nullptr, share.data(), nullptr), kStartRunning);
    EXPECT_EQ(ServedRootPath(3), share);
    EXPECT_EQ(ServedRootPath(1), "");
    EXPECT_EQ(Start(nullptr), kStartNoPaths);
}

TEST_F(ServerDaemon, ABusyPortNamesItselfAndLeavesNothingOpen) {
    std::string share = dir.Path();
    struct Case {
        uint16_t ServerPorts::*port;
        bool udp;
        int32_t result;
    };
    const Case cases[] = {{&ServerPorts::portmap, false, kStartPortmapPortBusy},
                          {&ServerPorts::nfs, true, kStartNfsPortBusy},
                          {&ServerPorts::mount, false, kStartMountPortBusy},
                          {&ServerPorts::mount, true, kStartMountPortBusy}};
    for (const Case& c : cases) {
        CServerSocket tcp;
        CDatagramSocket udp;
        ASSERT_TRUE(c.udp ? udp.Open(false, 2, options.ports.*c.port)
                          : tcp.Open(false, 2, options.ports.*c.port, 1))
            << c.result;
        EXPECT_EQ(Start(share.data()), c.result);
        tcp.Close();
        udp.Close();
        // A failed start has ended its own use of the socket interface.
        EXPECT_TRUE(PortsAreFree()) << c.result;
    }
}

TEST_F(ServerDaemon, AMachineWhoseFirstAddressIsLoopbackHasNoNetwork) {
    UseHostAddresses({kLoopback});
    std::string share = dir.Path();
    EXPECT_EQ(StartServerWith(options, 0, 0, 0, 0, 1, share.data(), nullptr, nullptr, nullptr),
              kStartNoNetwork);
    EXPECT_TRUE(PortsAreFree());
    ServerOptions loopbackOk = options;
    loopbackOk.allowLoopbackOnly = true;
    EXPECT_EQ(StartServerWith(loopbackOk, 0, 0, 0, 0, 1, share.data(), nullptr, nullptr, nullptr),
              kStartRunning);
}

TEST_F(ServerDaemon, StopForgetsHandlesAndASecondStartReopens) {
    std::string share = dir.Path();
    ASSERT_EQ(Start(share.data()), kStartRunning);
    ASSERT_EQ(ServedRootPath(1), share);
    ASSERT_EQ(Start(share.data()), kStartRunning) << "a start while running reopens";
    EXPECT_EQ(ServedRootPath(1), share);
    EXPECT_EQ(StopServer(), 0);
    EXPECT_EQ(FileManager().Count(), 0u);
    EXPECT_TRUE(PortsAreFree());
    EXPECT_EQ(StopServer(), 0) << "stopping a stopped server";
}

// A player stays mounted while the server stops and starts (the tray program restarts it on
// every change of its settings). The same indexes are handed out again, in the order paths are
// met; an old handle must answer STALE, never name the path that took its index.
TEST_F(ServerDaemon, HandlesFromBeforeARestartAreStaleInBothVersions) {
    ASSERT_TRUE(dir.MakeFile("a.txt", "aaaa") && dir.MakeFile("b.txt", "bbbb"));
    std::string share = dir.Path();
    auto lookup = [&](const std::string& name) {
        auto root = Ask(options.ports.mount, 100005, 3, 1, XdrBytes().Text("/quonhd1"));
        std::vector<uint8_t> folder =
            root && root->Word() == 0 ? root->Opaque() : std::vector<uint8_t>{};
        auto reply = Ask(options.ports.nfs, 100003, 3, 3,
                         XdrBytes().Opaque(folder.data(), folder.size()).Text(name));
        return reply && reply->Word() == 0 ? reply->Opaque() : std::vector<uint8_t>{};
    };
    ASSERT_EQ(Start(share.data()), kStartRunning);
    std::vector<uint8_t> a = lookup("a.txt");
    ASSERT_EQ(a.size(), 64u);
    StopServer();
    ASSERT_EQ(Start(share.data()), kStartRunning);
    std::vector<uint8_t> b = lookup("b.txt");
    ASSERT_EQ(b.size(), 64u);
    ASSERT_TRUE(std::equal(b.begin(), b.begin() + 4, a.begin()))
        << "b.txt took the index a.txt had";

    auto v3 = Ask(options.ports.nfs, 100003, 3, 7,
                  XdrBytes().Opaque(a.data(), a.size()).Hyper(0).Word(1).Word(2).Text("X"));
    ASSERT_TRUE(v3);
    EXPECT_EQ(v3->Word(), 70u);
    auto v2 = Ask(options.ports.nfs, 100003, 2, 8,
                  XdrBytes().Bytes(a.data(), 32).Word(0).Word(0).Word(0).Text("Y"));
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->Word(), 70u);
    EXPECT_EQ(dir.Contents("b.txt"), "bbbb");
    EXPECT_EQ(dir.Contents("a.txt"), "aaaa");
}

// A player that starts again sends from the same reserved port with its xids counted afresh:
// its calls take the keys of its calls before. Only a true retransmission, the same bytes again,
// gets the kept reply; after a restart of the server nothing kept answers.
TEST_F(ServerDaemon, OnlyTheSameCallAgainGetsAKeptReply) {
    std::string share = dir.Path();
    ASSERT_EQ(Start(share.data()), kStartRunning);
    auto root = Ask(options.ports.mount, 100005, 3, 1, XdrBytes().Text("/quonhd1"));
    ASSERT_TRUE(root && root->Word() == 0);
    const std::vector<uint8_t> folder = root->Opaque();
    ClientSocket player = ClientSocket::Udp();
    const CallHeaderSpec create3 = {7, 100003, 3, 8, 0, {}, 0, {}};
    auto create = [&](const std::string& name) {  // GUARDED, with xid 7 every time
        XdrBytes args = WithNoAttributes(Handle(folder).Text(name).Word(1));
        player.SendTo(options.ports.nfs, MakeCall(create3, args.Get()));
        return Words(player.ReceiveDatagram().value_or(std::vector<uint8_t>{}));
    };
    const std::vector<uint32_t> first = create("first.txt");
    const std::vector<uint32_t> second = create("second.txt");
    ASSERT_TRUE(first.size() > 25 && second.size() > 25);
    EXPECT_EQ(first[6] + second[6], 0u) << "both made";
    EXPECT_FALSE(std::equal(first.begin() + 9, first.begin() + 25, second.begin() + 9))
        << "each its own handle";
    EXPECT_EQ(create("second.txt"), second) << "a retransmission: run once (GUARDED: else EXIST)";
    StopServer();
    ASSERT_EQ(Start(share.data()), kStartRunning);
    EXPECT_EQ(create("second.txt").at(6), 5u) << "carried out: the folder is of the last run";
    EXPECT_TRUE(dir.Exists("first.txt") && dir.Exists("second.txt"));
}

// The socket interface counts its users, and the end of the last use closes every socket of the
// process (Windows Sockets does). However the server was started, or failed to start, its stop
// ends its own use only: a socket opened under another use lives on.
TEST_F(ServerDaemon, StartsAndStopsLeaveOtherUsersOfTheSocketInterfaceAlone) {
    const uint16_t port = FreePorts(1).front();
    const net::SocketHandle mine = net::OpenDatagram();
    ASSERT_TRUE(net::Bind(mine, kLoopback, port));
    std::string share = dir.Path();
    {
        CServerSocket holder;
        ASSERT_TRUE(holder.Open(false, 2, options.ports.nfs, 1));
        EXPECT_EQ(Start(share.data()), kStartNfsPortBusy);
    }
    StopServer();  // as the tray program does after a failed start
    EXPECT_EQ(net::LocalPort(mine), port);
    StopServer();
    EXPECT_EQ(Start(nullptr), kStartNoPaths);
    EXPECT_EQ(net::LocalPort(mine), port);
    ASSERT_EQ(Start(share.data()), kStartRunning);
    ASSERT_EQ(Start(share.data()), kStartRunning);
    StopServer();
    EXPECT_EQ(net::LocalPort(mine), port);
    net::Shutdown(mine);
    net::Close(mine);
}

TEST_F(ServerDaemon, TheMountCountFollowsMountAndUnmount) {
    std::string share = dir.Path();
    ASSERT_EQ(Start(share.data()), kStartRunning);
    int before = GetMountCount();
    ASSERT_TRUE(Ask(options.ports.mount, 100005, 3, 1, XdrBytes().Text("/quonhd1")));
    EXPECT_EQ(GetMountCount(), before + 1);
    ASSERT_TRUE(Ask(options.ports.mount, 100005, 3, 3, XdrBytes().Text("/quonhd1")));
    EXPECT_EQ(GetMountCount(), before);
}

// A client that stops reading (hundreds of READs sent, no reply read) holds up nobody, and the
// stop that ends it is prompt and says nothing to the user.
TEST_F(ServerDaemon, AClientThatStopsReadingHoldsUpNobody) {
    ASSERT_TRUE(dir.MakeFile("film", std::string(32768, 'f')));
    std::string share = dir.Path();
    ASSERT_EQ(Start(share.data()), kStartRunning);
    RpcClient mount = RpcClient::Udp(options.ports.mount);
    RpcClient nfs = RpcClient::Udp(options.ports.nfs);
    nfs3::Handle film = nfs3::Lookup(nfs, nfs3::MountRoot(mount, "/quonhd1"), "film");
    ASSERT_FALSE(film.empty());

    ClientSocket stuck = ClientSocket::Tcp(options.ports.nfs);
    CallHeaderSpec read;
    read.program = 100003;
    read.version = 3;
    read.procedure = 6;
    std::vector<uint8_t> reads;
    for (int i = 0; i < 400; ++i) {
        reads = Concat(reads, AsRecord(MakeCall(read, nfs3::ReadArgs(film, 0, 32768).Get())));
    }
    ASSERT_TRUE(stuck.Send(reads));
    RpcClient portmap = RpcClient::Udp(options.ports.portmap);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(portmap.Call(100000, 2, 3, XdrBytes().Word(100005).Word(3).Word(17).Word(0)))
            << "call " << i << " waited for the stuck client";
    }
    auto stop = std::async(std::launch::async, StopServer);
    EXPECT_EQ(stop.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    stop.wait();
    EXPECT_TRUE(events.Messages().empty());
}

#if GTEST_HAS_DEATH_TEST
// Holds a call in the middle of its work while the process ends around it: a LOOKUP once the host
// has answered (it makes the file's handle after), or a READDIRPLUS once its names are kept (it
// answers them after).
[[noreturn]] void EndTheProcessDuringACall(bool listing) {
    static FaultyFs* fs = new FaultyFs;
    static TempDir* dir = new TempDir;
    // Registered before the server objects exist, so it runs after they have joined their threads.
    std::atexit([] { delete dir; });
    if (!dir->MakeFile("film")) std::exit(2);
    net::Startup();
    ServerOptions options;
    std::vector<uint16_t> ports = FreePorts(3);
    options.ports = {ports[0], ports[1], ports[2]};
    options.allowLoopbackOnly = true;
    std::string share = dir->Path();
    if (StartServerWith(options, 0, 0, 0, 0, 0, share.data(), nullptr, nullptr, nullptr) !=
        kStartRunning) {
        std::exit(3);
    }
    RpcClient mount = RpcClient::Udp(options.ports.mount);
    nfs3::Handle root = nfs3::MountRoot(mount, "/quonhd1");
    std::promise<void> entered;
    fs->OnEveryOperation([&entered, listing] {
        if (listing && fs->Calls(Fault::kList) == 0) return;
        fs->OnEveryOperation(nullptr);
        entered.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    });
    RpcClient nfs = RpcClient::Udp(options.ports.nfs);
    XdrBytes args = XdrBytes().Opaque(root.data(), root.size());
    listing ? args.Hyper(0).Hyper(0).Word(8192).Word(8192) : args.Text("film");
    std::thread([&nfs, args, listing] { nfs.Call(100003, 3, listing ? 17 : 3, args); }).detach();
    if (entered.get_future().wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        std::exit(4);
    }
    std::exit(0);
}

// The tray program may be closed from outside while a player's call is in flight: the process
// ends with the call finishing against live objects, not destroyed ones.
TEST(ServerExit, AProcessThatEndsDuringACallEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (bool listing : {false, true}) {
        EXPECT_EXIT(EndTheProcessDuringACall(listing), ::testing::ExitedWithCode(0), "")
            << (listing ? "a listing" : "a lookup");
    }
}
#endif

}  // namespace
