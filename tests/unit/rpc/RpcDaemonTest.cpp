#include <gtest/gtest.h>

#include "QDV_PortManager.h"
#include "QDV_RPCDeamon.h"
#include "ReplyCache.h"
#include "RpcBytes.h"
#include "Socket.h"
#include "Xdr.h"

namespace {

// A program that echoes what the layer told it and how many argument words it could read.
// Procedure 99 is not served; procedures 98 and 97 need two argument words; 97 changes the file
// system and also answers how many calls the program has run.
class EchoProgram : public CQDV_RPC {
  public:
    static constexpr uint32_t kChanging = 97;

    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override {
        ++runs;
        if (context.procedure == 99) return kDispatchProcUnavail;
        uint32_t first = 0;
        uint32_t second = 0;
        if (context.procedure == 98 || context.procedure == kChanging) {
            try {
                first = ReadUint32(in);
                second = ReadUint32(in);
            } catch (const XdrDecodeError&) {
                return kDispatchGarbage;
            }
        }
        out.WriteInt32(context.version);
        out.WriteInt32(context.procedure);
        out.WriteInt32(first + second);
        if (context.procedure == kChanging) out.WriteInt32(runs);
        lastClient = context.client;
        return kDispatchDone;
    }
    bool ChangesFileSystem(uint32_t, uint32_t procedure) const override {
        return procedure == kChanging;
    }
    int runs = 0;
    void SetFlag(uint8_t flag) override { flags.push_back(flag); }
    std::string lastClient;
    std::vector<uint8_t> flags;
};

class RpcDaemon : public ::testing::Test {
  protected:
    RpcDaemon() {
        portmapper.SetPort(100005, 1058);
        portmapper.SetPort(100003, 2049);
        daemon.Register(100000, &portmapper);
        daemon.Register(100003, &echo);
    }

    std::vector<uint32_t> UdpReply(const CallHeaderSpec& h, const std::vector<uint8_t>& args = {}) {
        return Words(RunCall(daemon, kTransportUdp, MakeCall(h, args)).reply);
    }

    CQDV_RPCDeamon daemon;
    CQDV_PortManager portmapper;
    EchoProgram echo;
};

std::vector<uint8_t> GetPortArgs(uint32_t program) {
    return XdrBytes().Word(program).Word(3).Word(17).Word(0).Get();
}

TEST_F(RpcDaemon, AnswersAServedCallWithTheAcceptedHeaderAndResults) {
    CallHeaderSpec h;
    h.xid = 0xCAFE;
    EXPECT_EQ(UdpReply(h, GetPortArgs(100005)),
              (std::vector<uint32_t>{0xCAFE, 1, 0, 0, 0, 0, 1058}));
}

TEST_F(RpcDaemon, UnservedProgramsGetProgUnavail) {
    for (uint32_t program : {99999u, 100001u, 100002u, 100009u, 100010u}) {
        CallHeaderSpec h;
        h.program = program;
        HandledCall call = RunCall(daemon, kTransportUdp, MakeCall(h));
        EXPECT_EQ(call.result, kDispatchDone) << program;
        EXPECT_EQ(Words(call.reply), (std::vector<uint32_t>{h.xid, 1, 0, 0, 0, 1})) << program;
    }
}

TEST_F(RpcDaemon, CallsTooShortForTheirVerifierAreGarbage) {
    CallHeaderSpec h;
    std::vector<uint8_t> call = MakeCall(h);
    ASSERT_EQ(call.size(), 40u);
    HandledCall cut =
        RunCall(daemon, kTransportUdp, std::vector<uint8_t>(call.begin(), call.end() - 2));
    EXPECT_EQ(cut.result, kDispatchGarbage);
    EXPECT_EQ(Words(cut.reply), (std::vector<uint32_t>{h.xid, 1, 0, 0, 0, 4}));

    h.verifierFlavour = 6;
    h.verifier = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> shortBody = MakeCall(h);
    shortBody.resize(shortBody.size() - 4);
    HandledCall garbage = RunCall(daemon, kTransportUdp, shortBody);
    EXPECT_EQ(garbage.result, kDispatchGarbage);
    EXPECT_EQ(Words(garbage.reply).back(), 4u);
}

TEST_F(RpcDaemon, SkipsCredentialsAndAlwaysAnswersTheEmptyVerifier) {
    CallHeaderSpec h;
    h.credentialFlavour = 1;  // AUTH_UNIX
    h.credential = XdrBytes().Word(1).Text("player").Word(0).Word(0).Word(1).Word(0).Get();
    h.credential.resize(32);
    h.verifierFlavour = 6;
    h.verifier = {9, 9, 9, 9};
    EXPECT_EQ(UdpReply(h, GetPortArgs(100003)),
              (std::vector<uint32_t>{h.xid, 1, 0, 0, 0, 0, 2049}));
}

TEST_F(RpcDaemon, IgnoresMessageTypeAndRpcVersion) {
    XdrBytes call;
    call.Word(7).Word(1).Word(3).Word(100000).Word(2).Word(3).Word(0).Word(0).Word(0).Word(0);
    call.Append(GetPortArgs(100005));
    EXPECT_EQ(Words(RunCall(daemon, kTransportUdp, call.Get()).reply),
              (std::vector<uint32_t>{7, 1, 0, 0, 0, 0, 1058}));
}

TEST_F(RpcDaemon, HandlerRefusalsBecomeProcUnavailAndGarbageArgs) {
    CallHeaderSpec h;
    h.program = 100003;
    h.procedure = 99;
    HandledCall refused = RunCall(daemon, kTransportUdp, MakeCall(h));
    EXPECT_EQ(refused.result, kDispatchProcUnavail);
    EXPECT_EQ(Words(refused.reply), (std::vector<uint32_t>{h.xid, 1, 0, 0, 0, 3}));

    h.procedure = 98;
    HandledCall garbage = RunCall(daemon, kTransportUdp, MakeCall(h, XdrBytes().Word(1).Get()));
    EXPECT_EQ(garbage.result, kDispatchGarbage);
    EXPECT_EQ(Words(garbage.reply), (std::vector<uint32_t>{h.xid, 1, 0, 0, 0, 4}));
}

TEST_F(RpcDaemon, PassesVersionProcedureAndClientToTheHandler) {
    CallHeaderSpec h;
    h.program = 100003;
    h.version = 3;
    h.procedure = 7;
    HandledCall call = RunCall(daemon, kTransportUdp, MakeCall(h), "10.1.2.3");
    EXPECT_EQ(Words(call.reply), (std::vector<uint32_t>{h.xid, 1, 0, 0, 0, 0, 3, 7, 0}));
    EXPECT_EQ(echo.lastClient, "10.1.2.3");
}

TEST_F(RpcDaemon, TcpRepliesCarryTheirRecordMark) {
    CallHeaderSpec h;
    h.program = 100001;
    HandledCall call = RunCall(daemon, kTransportTcp, AsRecord(MakeCall(h)));
    EXPECT_EQ(Words(call.reply), (std::vector<uint32_t>{0x80000018, h.xid, 1, 0, 0, 0, 1}));
}

// Each record is decoded on its own: a handler that leaves arguments unread, or a call whose
// arguments run short, cannot shift the decoding of the record after it.
TEST_F(RpcDaemon, EachTcpRecordIsDecodedWithinItsOwnBounds) {
    CallHeaderSpec unread;
    unread.program = 100003;
    unread.procedure = 1;
    CallHeaderSpec shortArgs = unread;
    shortArgs.procedure = 98;
    CallHeaderSpec next = unread;
    next.xid = 77;
    next.procedure = 98;
    std::vector<uint8_t> bytes =
        Concat(Concat(AsRecord(MakeCall(unread, XdrBytes().Word(5).Word(6).Get())),
                      AsRecord(MakeCall(shortArgs, XdrBytes().Word(5).Get()))),
               AsRecord(MakeCall(next, XdrBytes().Word(20).Word(22).Get())));

    static CSocketStream stream;
    LoadInput(stream, bytes);
    stream.ResetOutput();
    EXPECT_EQ(daemon.HandleCall(kTransportTcp, stream, stream, "c"), kDispatchDone);
    stream.ResetOutput();
    EXPECT_EQ(daemon.HandleCall(kTransportTcp, stream, stream, "c"), kDispatchGarbage);
    stream.ResetOutput();
    EXPECT_EQ(daemon.HandleCall(kTransportTcp, stream, stream, "c"), kDispatchDone);
    EXPECT_EQ(Words(OutputBytes(stream)),
              (std::vector<uint32_t>{0x80000024, 77, 1, 0, 0, 0, 0, 2, 98, 42}));
    EXPECT_EQ(stream.Remaining(), 0u);
}

// A client whose reply was lost sends the call again with the same xid from the same address
// and port. A call that changes the file system runs once and its retransmission gets the first
// reply; any other call runs again.
TEST_F(RpcDaemon, RetransmissionsOfCallsThatChangeTheFileSystemGetTheFirstReply) {
    CallHeaderSpec h;
    h.program = 100003;
    h.version = 3;
    h.procedure = EchoProgram::kChanging;
    h.xid = 500;
    const std::vector<uint8_t> args = XdrBytes().Word(1).Word(2).Get();
    auto send = [&](const CallHeaderSpec& call, uint16_t port, const char* client = "10.0.0.1",
                    int transport = kTransportUdp) {
        std::vector<uint8_t> bytes = MakeCall(call, args);
        if (transport == kTransportTcp) bytes = AsRecord(bytes);
        return RunCall(daemon, transport, bytes, client, port).reply;
    };
    const std::vector<uint8_t> first = send(h, 700);
    EXPECT_EQ(send(h, 700), first);
    EXPECT_EQ(send(h, 700, "10.0.0.1", kTransportTcp).size(), first.size() + 4) << "record mark";
    EXPECT_EQ(echo.runs, 1);

    CallHeaderSpec otherXid = h;
    otherXid.xid = 501;
    CallHeaderSpec otherVersion = h;
    otherVersion.version = 2;
    CallHeaderSpec unchanging = h;
    unchanging.procedure = 98;
    const struct {
        CallHeaderSpec call;
        uint16_t port;
        const char* client;
    } others[] = {{otherXid, 700, "10.0.0.1"},   {h, 701, "10.0.0.1"},
                  {h, 700, "10.0.0.2"},          {otherVersion, 700, "10.0.0.1"},
                  {unchanging, 700, "10.0.0.1"}, {unchanging, 700, "10.0.0.1"}};
    int runs = echo.runs;
    for (const auto& other : others) {
        send(other.call, other.port, other.client);
        EXPECT_EQ(echo.runs, ++runs) << other.call.xid << " " << other.port << " " << other.client;
    }

    // A call that failed is not kept; the oldest replies give way to new ones.
    CallHeaderSpec cut = h;
    cut.xid = 600;
    RunCall(daemon, kTransportUdp, MakeCall(cut, XdrBytes().Word(1).Get()), "10.0.0.1", 700);
    send(cut, 700);
    EXPECT_EQ(echo.runs, runs + 2);
    for (uint32_t xid = 1000; xid < 1000 + CReplyCache::kCapacity; ++xid) {
        CallHeaderSpec filler = h;
        filler.xid = xid;
        send(filler, 700);
    }
    EXPECT_NE(send(h, 700), first) << "forgotten, so run again";
}

int64_t g_now = 0;

// A kept reply answers its call's retransmissions for its lifetime and no longer.
TEST(ReplyCache, AKeptReplyAnswersForItsLifetimeOnly) {
    CReplyCache cache([] { return g_now; });
    int runs = 0;
    for (int64_t at : {int64_t{0}, CReplyCache::kLifetime - 1, CReplyCache::kLifetime}) {
        g_now = 1000 + at;
        CSocketStream stream;
        LoadInput(stream, XdrBytes().Word(7).Get());
        cache.Answer({"10.0.0.1", 700, 1, 100003, 3, 8}, stream, stream,
                     [&runs](IInputStream&, IOutputStream& out) {
                         out.WriteInt32(++runs);
                         return int(kDispatchDone);
                     });
    }
    EXPECT_EQ(runs, 2) << "the first reply again within the lifetime, then a new run";
}

TEST_F(RpcDaemon, BroadcastFlagReachesEveryRegisteredHandler) {
    daemon.BroadcastFlag(1);
    daemon.BroadcastFlag(0);
    EXPECT_EQ(echo.flags, (std::vector<uint8_t>{1, 0}));
}

}  // namespace
