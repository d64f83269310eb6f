#include <gtest/gtest.h>

#include "QDV_PortManager.h"
#include "QDV_RPCDeamon.h"
#include "RpcBytes.h"
#include "Socket.h"

namespace {

class PortMapper : public ::testing::Test {
  protected:
    PortMapper() {
        portmapper.SetPort(100005, 1058);
        portmapper.SetPort(100003, 2049);
        daemon.Register(100000, &portmapper);
    }

    // The port answered to a call with the given version, procedure and argument words.
    std::vector<uint32_t> Ask(uint32_t version, uint32_t procedure, const XdrBytes& args) {
        CallHeaderSpec h;
        h.version = version;
        h.procedure = procedure;
        std::vector<uint32_t> reply =
            Words(RunCall(daemon, kTransportUdp, MakeCall(h, args.Get())).reply);
        return std::vector<uint32_t>(reply.begin() + 5, reply.end());
    }

    CQDV_RPCDeamon daemon;
    CQDV_PortManager portmapper;
};

TEST_F(PortMapper, AnswersByProgramWhateverVersionAndProtocol) {
    EXPECT_EQ(Ask(2, 3, XdrBytes().Word(100005).Word(3).Word(17).Word(0)),
              (std::vector<uint32_t>{0, 1058}));
    EXPECT_EQ(Ask(2, 3, XdrBytes().Word(100005).Word(1).Word(6).Word(0)),
              (std::vector<uint32_t>{0, 1058}));
    EXPECT_EQ(Ask(2, 3, XdrBytes().Word(100003).Word(2).Word(6).Word(0)),
              (std::vector<uint32_t>{0, 2049}));
    for (uint32_t other : {100000u, 100010u, 99999u, 100001u}) {
        EXPECT_EQ(Ask(2, 3, XdrBytes().Word(other).Word(2).Word(17).Word(0)),
                  (std::vector<uint32_t>{0, 0}))
            << other;
    }
}

TEST_F(PortMapper, MissingArgumentsCountAsZero) {
    EXPECT_EQ(Ask(2, 3, XdrBytes()), (std::vector<uint32_t>{0, 0}));
}

// What the ONC RPC library of standard tools needs: rpcbind versions 3 and 4 refused with the
// range to fall back to, NULL answered empty, SET and UNSET refused, DUMP listing the table.
TEST_F(PortMapper, AnswersEveryVersion2ProcedureAndRefusesOtherVersions) {
    portmapper.SetMappings({{100000, 2, 6, 111}, {100005, 3, 17, 1058}});
    struct Case {
        uint32_t version;
        uint32_t procedure;
        std::vector<uint32_t> reply;  // accept status and results
    };
    const Case cases[] = {
        {2, 0, {0}},       {2, 1, {0, 0}},
        {2, 2, {0, 0}},    {2, 4, {0, 1, 100000, 2, 6, 111, 1, 100005, 3, 17, 1058, 0}},
        {2, 5, {3}},       {2, 6, {3}},
        {3, 3, {2, 2, 2}}, {4, 3, {2, 2, 2}},
        {1, 0, {2, 2, 2}},
    };
    const XdrBytes mapping = XdrBytes().Word(100005).Word(3).Word(17).Word(0);
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(c.version, c.procedure, mapping), c.reply) << c.version << " " << c.procedure;
    }
}

}  // namespace

namespace {

// The handlers' narration reaches the trace output once one is chosen, and nothing is written
// while none is.
TEST(Trace, GoesToTheChosenOutputOnly) {
    CQDV_RPCDeamon daemon;
    CQDV_PortManager portmapper;
    portmapper.SetPort(100005, 1058);
    daemon.Register(100000, &portmapper);
    std::FILE* output = std::tmpfile();
    ASSERT_NE(output, nullptr);
    CallHeaderSpec h;
    std::vector<uint8_t> call = MakeCall(h, XdrBytes().Word(100005).Word(3).Word(17).Word(0).Get());
    RunCall(daemon, kTransportUdp, call);
    SetTraceOutput(output);
    RunCall(daemon, kTransportUdp, call);
    SetTraceOutput(nullptr);
    RunCall(daemon, kTransportUdp, call);
    std::rewind(output);
    char text[128] = {};
    size_t n = std::fread(text, 1, sizeof text - 1, output);
    std::fclose(output);
    EXPECT_EQ(std::string(text, n), "PORTMAP GETPORT 100005 1058\n");
}

}  // namespace
