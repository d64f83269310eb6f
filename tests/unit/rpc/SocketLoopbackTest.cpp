#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "DatagramSocket.h"
#include "Loopback.h"
#include "QDV_PortManager.h"
#include "QDV_RPCDeamon.h"
#include "RecordingEvents.h"
#include "RpcBytes.h"
#include "ServerSocket.h"

namespace {

// Procedure 5 of program 100003 refuses; procedure 6 answers more than a datagram can carry;
// procedure 7 holds its call until Release (bounded). Every call is counted.
class TestProgram : public CQDV_RPC {
  public:
    int Dispatch(IInputStream&, IOutputStream& out, const RPCCallContext& context) override {
        ++calls;
        if (context.procedure == 5) return kDispatchProcUnavail;
        if (context.procedure == 6) {
            std::vector<uint8_t> big(70000, 0x5A);
            out.Write(big.data(), uint32_t(big.size()));
        }
        if (context.procedure == 7) Hold();
        return kDispatchDone;
    }
    bool WaitUntilHeld() {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_bHeld; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bReleased = true;
        m_changed.notify_all();
    }
    std::atomic<int> calls{0};

  private:
    void Hold() {
        std::unique_lock<std::mutex> lock(m_lock);
        m_bHeld = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_bReleased; });
    }
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bHeld = false;
    bool m_bReleased = false;
};

std::vector<uint8_t> GetPort(uint32_t xid, uint32_t program) {
    CallHeaderSpec h;
    h.xid = xid;
    return MakeCall(h, XdrBytes().Word(program).Word(3).Word(6).Word(0).Get());
}

std::vector<uint8_t> TestCall(uint32_t xid, uint32_t procedure) {
    CallHeaderSpec h;
    h.xid = xid;
    h.program = 100003;
    h.procedure = procedure;
    return MakeCall(h);
}

std::vector<uint32_t> PortReply(uint32_t xid, uint32_t port) {
    return {xid, 1, 0, 0, 0, 0, port};
}

std::vector<uint32_t> WordsAfterMark(const std::optional<std::vector<uint8_t>>& record) {
    if (!record) return {};
    std::vector<uint32_t> words = Words(*record);
    return std::vector<uint32_t>(words.begin() + 1, words.end());
}

class SocketLoopback : public ::testing::Test {
  protected:
    SocketLoopback() {
        net::Startup();
        // Index 1 of this host entry is the loopback address: the sockets bind to it alone.
        net::SetLocalHostEntrySource([](net::HostEntry& entry) {
            entry.name = "test";
            entry.addresses = {kLoopback};
            return true;
        });
        portmapper.SetPort(100005, 1058);
        portmapper.SetPort(100003, 2049);
        daemon.Register(100000, &portmapper);
        daemon.Register(100003, &program);
        udp.SetListener(&daemon);
        tcp.SetListener(&daemon);
    }
    ~SocketLoopback() override {
        tcp.Close();
        udp.Close();
        net::SetLocalHostEntrySource(nullptr);
        net::Cleanup();
    }

    void OpenTcp(int slots) { ASSERT_TRUE(tcp.Open(false, 1, 0, slots)); }

    RecordingEvents events;
    CQDV_RPCDeamon daemon;
    CQDV_PortManager portmapper;
    TestProgram program;
    CDatagramSocket udp;
    CServerSocket tcp;
};

TEST_F(SocketLoopback, UdpRepliesGoToTheSenderOfEachDatagram) {
    ASSERT_TRUE(udp.Open(false, 1, 0));
    ClientSocket a = ClientSocket::Udp();
    ClientSocket b = ClientSocket::Udp();
    for (uint32_t round = 0; round < 3; ++round) {
        ASSERT_TRUE(a.SendTo(udp.GetPort(), GetPort(100 + round, 100005)));
        ASSERT_TRUE(b.SendTo(udp.GetPort(), GetPort(200 + round, 100003)));
        auto fromA = a.ReceiveDatagram();
        auto fromB = b.ReceiveDatagram();
        ASSERT_TRUE(fromA && fromB);
        EXPECT_EQ(Words(*fromA), PortReply(100 + round, 1058));
        EXPECT_EQ(Words(*fromB), PortReply(200 + round, 2049));
    }
}

TEST_F(SocketLoopback, ARecordSplitOverTwoSendsIsAnsweredOnce) {
    OpenTcp(3);
    ClientSocket client = ClientSocket::Tcp(tcp.GetPort());
    ASSERT_TRUE(client.Valid());
    std::vector<uint8_t> record = AsRecord(GetPort(42, 100005));
    ASSERT_TRUE(client.Send(std::vector<uint8_t>(record.begin(), record.begin() + 10)));
    // Gives the first part time to arrive as a receive of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(client.Send(std::vector<uint8_t>(record.begin() + 10, record.end())));
    EXPECT_EQ(WordsAfterMark(client.ReceiveRecord()), PortReply(42, 1058));
    // Nothing else was answered: the next reply belongs to the next call.
    ASSERT_TRUE(client.Send(AsRecord(GetPort(43, 100003))));
    EXPECT_EQ(WordsAfterMark(client.ReceiveRecord()), PortReply(43, 2049));
}

TEST_F(SocketLoopback, ARecordInSeveralFragmentsIsJoined) {
    OpenTcp(3);
    ClientSocket client = ClientSocket::Tcp(tcp.GetPort());
    std::vector<uint8_t> call = GetPort(7, 100003);
    XdrBytes fragments;
    fragments.Word(12).Bytes(call.data(), 12);
    fragments.Word(0x80000000u | uint32_t(call.size() - 12))
        .Bytes(call.data() + 12, call.size() - 12);
    ASSERT_TRUE(client.Send(fragments.Get()));
    EXPECT_EQ(WordsAfterMark(client.ReceiveRecord()), PortReply(7, 2049));
}

// Each complete record gets its own reply, in order, whatever became of the one before.
TEST_F(SocketLoopback, EveryRecordOfOneReceiveIsAnsweredInOrder) {
    OpenTcp(3);
    ClientSocket client = ClientSocket::Tcp(tcp.GetPort());
    CallHeaderSpec unserved;
    unserved.xid = 4;
    unserved.program = 100001;
    std::vector<uint8_t> tooShort = GetPort(5, 100005);
    tooShort.resize(38);
    std::vector<uint8_t> burst = AsRecord(GetPort(1, 100005));
    for (const auto& call : {TestCall(2, 5), MakeCall(unserved), tooShort, GetPort(6, 100003)}) {
        burst = Concat(burst, AsRecord(call));
    }
    ASSERT_TRUE(client.Send(burst));
    auto first = client.ReceiveRecord();
    ASSERT_TRUE(first);
    EXPECT_EQ(Words(*first)[0], 0x8000001Cu);
    EXPECT_EQ(WordsAfterMark(first), PortReply(1, 1058));
    EXPECT_EQ(WordsAfterMark(client.ReceiveRecord()), (std::vector<uint32_t>{2, 1, 0, 0, 0, 3}));
    EXPECT_EQ(WordsAfterMark(client.ReceiveRecord()), (std::vector<uint32_t>{4, 1, 0, 0, 0, 1}));
    EXPECT_EQ(WordsAfterMark(client.ReceiveRecord()), (std::vector<uint32_t>{5, 1, 0, 0, 0, 4}));
    EXPECT_EQ(WordsAfterMark(client.ReceiveRecord()), PortReply(6, 2049));
}

// A player that lost power never closes its connection; when every slot is taken, one silent
// for a second makes room. One in the middle of a call is never cut.
TEST_F(SocketLoopback, WhenEverySlotIsTakenTheIdlestConnectionMakesRoom) {
    OpenTcp(3);
    std::vector<ClientSocket> clients;
    for (uint32_t i = 0; i < 3; ++i) {
        clients.push_back(ClientSocket::Tcp(tcp.GetPort()));
        ASSERT_TRUE(clients.back().Send(AsRecord(GetPort(i, 100005))));
        ASSERT_EQ(WordsAfterMark(clients.back().ReceiveRecord()), PortReply(i, 1058));
    }
    // Until the others have been silent long enough the newcomer is turned away as a surplus
    // client; like any client it tries again.
    bool served = false;
    for (int attempt = 0; attempt < 150 && !served; ++attempt) {
        ClientSocket newcomer = ClientSocket::Tcp(tcp.GetPort());
        served = newcomer.Send(AsRecord(GetPort(9, 100003))) &&
                 WordsAfterMark(newcomer.ReceiveRecord()) == PortReply(9, 2049);
        if (!served) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(served);
    int stillServed = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        clients[i].Send(AsRecord(GetPort(10 + i, 100003)));
        stillServed += WordsAfterMark(clients[i].ReceiveRecord()) == PortReply(10 + i, 2049);
    }
    EXPECT_EQ(stillServed, 2) << "one idle connection made room";

    tcp.Close();
    OpenTcp(1);
    ClientSocket busy = ClientSocket::Tcp(tcp.GetPort());
    ASSERT_TRUE(busy.Send(AsRecord(TestCall(20, 7))));
    ASSERT_TRUE(program.WaitUntilHeld());
    ClientSocket surplus = ClientSocket::Tcp(tcp.GetPort());
    EXPECT_TRUE(surplus.WaitForClose());
    program.Release();
    EXPECT_EQ(WordsAfterMark(busy.ReceiveRecord()), (std::vector<uint32_t>{20, 1, 0, 0, 0, 0}));
}

TEST_F(SocketLoopback, AClientThatLeavesFreesItsSlot) {
    OpenTcp(1);
    {
        ClientSocket first = ClientSocket::Tcp(tcp.GetPort());
        ASSERT_TRUE(first.Send(AsRecord(GetPort(1, 100005))));
        ASSERT_EQ(WordsAfterMark(first.ReceiveRecord()), PortReply(1, 1058));
    }
    // The slot frees once the server has seen the close; a bounded number of tries covers that.
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        ClientSocket next = ClientSocket::Tcp(tcp.GetPort());
        served = next.Send(AsRecord(GetPort(2, 100003))) &&
                 WordsAfterMark(next.ReceiveRecord()) == PortReply(2, 2049);
        if (!served) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(served);
}

// Too long: a record that claims more than the buffer, and one that fills the buffer exactly
// but announces another fragment.
TEST_F(SocketLoopback, ARecordThatCannotFitClosesThatConnection) {
    OpenTcp(3);
    const uint32_t fill = CSocketStream::kCapacity - 4;
    const std::vector<uint8_t> tooLong[] = {
        XdrBytes().Word(0x80000000u | (2u << 20)).Word(1).Word(2).Get(),
        Concat(XdrBytes().Word(fill).Get(), std::vector<uint8_t>(fill, 0))};
    for (const auto& bytes : tooLong) {
        ClientSocket greedy = ClientSocket::Tcp(tcp.GetPort());
        ClientSocket other = ClientSocket::Tcp(tcp.GetPort());
        greedy.Send(bytes);  // the server may close before it has all: the mark tells enough
        EXPECT_TRUE(greedy.WaitForClose()) << bytes.size();
        ASSERT_TRUE(other.Send(AsRecord(GetPort(9, 100005))));
        EXPECT_EQ(WordsAfterMark(other.ReceiveRecord()), PortReply(9, 1058));
    }
}

// A client that has said all it will (FIN) finds the connection closed at once, not left
// half-open until its slot is used again.
TEST_F(SocketLoopback, AFinishedConnectionIsClosedAtOnce) {
    OpenTcp(3);
    ClientSocket client = ClientSocket::Tcp(tcp.GetPort());
    ASSERT_TRUE(client.Send(AsRecord(GetPort(1, 100005))));
    ASSERT_TRUE(client.ReceiveRecord());
    client.ShutdownSending();
    EXPECT_TRUE(client.WaitForClose());
}

// A client that goes in the middle of a burst ends its connection at the first failed send:
// the rest of the burst is not carried out, and the user hears of it once.
TEST_F(SocketLoopback, AClientGoneMidBurstEndsItsConnectionWithOneMessage) {
    OpenTcp(3);
    const int burst = 200;
    {
        ClientSocket client = ClientSocket::Tcp(tcp.GetPort());
        std::vector<uint8_t> calls;
        for (int i = 0; i < burst; ++i) calls = Concat(calls, AsRecord(TestCall(i, 6)));
        ASSERT_TRUE(client.Send(calls));
    }
    ASSERT_TRUE(events.WaitForMessages(2));
    tcp.Close();
    EXPECT_LT(program.calls.load(), burst);
    auto messages = events.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages.back(),
              std::make_pair(std::string("Error in sending data through TCP socket"),
                             std::string("TCP Socket Send Error")));
}

TEST_F(SocketLoopback, ClosingWhileAClientIsConnectedEndsItsConnection) {
    OpenTcp(3);
    ASSERT_TRUE(udp.Open(false, 1, 0));
    ClientSocket client = ClientSocket::Tcp(tcp.GetPort());
    ASSERT_TRUE(client.Send(AsRecord(GetPort(1, 100005))));
    ASSERT_TRUE(client.ReceiveRecord());
    auto closing = std::async(std::launch::async, [this] {
        tcp.Close();
        udp.Close();
    });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(client.WaitForClose());
    tcp.Close();  // a second Close does nothing
}

// A client that sends calls and never reads their replies leaves the connection's thread waiting
// for room to send; a stop must end that wait, not sit out the send time-out.
TEST_F(SocketLoopback, ClosingEndsASendToAClientThatStoppedReading) {
    OpenTcp(3);
    ClientSocket client = ClientSocket::Tcp(tcp.GetPort());
    std::vector<uint8_t> burst;
    for (uint32_t xid = 1; xid <= 400; ++xid) burst = Concat(burst, AsRecord(TestCall(xid, 6)));
    ASSERT_TRUE(client.Send(burst));
    // The replies fill both sides' buffers: the count of answered calls stops moving.
    int seen = -1;
    for (int polls = 0; polls < 100 && program.calls.load() != seen; ++polls) {
        seen = program.calls.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_LT(seen, 400) << "every reply fitted in the buffers: nothing waited";
    auto began = std::chrono::steady_clock::now();
    tcp.Close();
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(),
              net::kSendTimeoutMs / 2);
}

TEST_F(SocketLoopback, ClosingObjectsThatWereNeverOpenedDoesNothing) {
    CServerSocket neverOpened;
    CDatagramSocket neverOpenedUdp;
    neverOpened.Close();
    neverOpenedUdp.Close();
    neverOpened.Close();
    SUCCEED();
}

TEST_F(SocketLoopback, OpeningABoundPortFails) {
    OpenTcp(3);
    CServerSocket second;
    EXPECT_FALSE(second.Open(false, 1, tcp.GetPort(), 3));
    ASSERT_TRUE(udp.Open(false, 1, 0));
    CDatagramSocket secondUdp;
    EXPECT_FALSE(secondUdp.Open(false, 1, udp.GetPort()));
}

TEST_F(SocketLoopback, AFailedSendIsReportedToTheUserOnceWithoutStoppingTheServer) {
    ASSERT_TRUE(udp.Open(false, 1, 0));
    ClientSocket client = ClientSocket::Udp();
    ASSERT_TRUE(client.SendTo(udp.GetPort(), TestCall(1, 6)));
    ASSERT_TRUE(events.WaitForMessages(1));
    ASSERT_TRUE(client.SendTo(udp.GetPort(), TestCall(2, 6)));
    ASSERT_TRUE(client.SendTo(udp.GetPort(), GetPort(3, 100005)));
    auto reply = client.ReceiveDatagram();
    ASSERT_TRUE(reply);
    EXPECT_EQ(Words(*reply), PortReply(3, 1058));
    EXPECT_EQ(events.Messages(),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Error in sending data through UDP socket", "UDP Socket Send Error"}}));
}

// Only closing ends a UDP port: not an empty datagram (a receive of 0 bytes), nor a reply that
// met a client port already closed (which Winsock reports at the next receive).
TEST_F(SocketLoopback, AUdpPortOutlivesEmptyDatagramsAndVanishedClients) {
    ASSERT_TRUE(udp.Open(false, 1, 0));
    ClientSocket client = ClientSocket::Udp();
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(client.SendTo(udp.GetPort(), {}));
        {
            ClientSocket vanishing = ClientSocket::Udp();
            ASSERT_TRUE(vanishing.SendTo(udp.GetPort(), GetPort(round, 100005)));
        }
        ASSERT_TRUE(client.SendTo(udp.GetPort(), GetPort(10 + round, 100003)));
        auto reply = client.ReceiveDatagram();
        ASSERT_TRUE(reply) << round;
        EXPECT_EQ(Words(*reply), PortReply(10 + round, 2049));
    }
}

}  // namespace
