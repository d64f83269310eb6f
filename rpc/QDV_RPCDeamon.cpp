#include "QDV_RPCDeamon.h"

#include <string>

#include "BoundedInputStream.h"
#include "Socket.h"

namespace {

constexpr uint32_t kMsgReply = 1;
constexpr uint32_t kMsgAccepted = 0;
constexpr uint32_t kAuthNull = 0;
constexpr uint32_t kLastFragment = 0x80000000u;

enum AcceptStat : uint32_t {
    kSuccess = 0,
    kProgUnavail = 1,
    kProgMismatch = 2,
    kProcUnavail = 3,
    kGarbageArgs = 4,
};

struct CallHeader {
    uint32_t xid = 0;
    uint32_t program = 0;
    uint32_t version = 0;
    uint32_t procedure = 0;
};

// Reads the call header up to the arguments. Message type, RPC version and the credential are
// accepted as they come; only a call too short to hold its verifier is refused.
bool ReadCallHeader(IInputStream& in, CallHeader& header) {
    uint32_t ignored = 0;
    uint32_t credentialLength = 0;
    in.ReadInt32(&header.xid);
    in.ReadInt32(&ignored);  // message type
    in.ReadInt32(&ignored);  // RPC version
    in.ReadInt32(&header.program);
    in.ReadInt32(&header.version);
    in.ReadInt32(&header.procedure);
    in.ReadInt32(&ignored);  // credential flavour
    in.ReadInt32(&credentialLength);
    in.Skip(credentialLength);
    uint32_t verifierLength = 0;
    in.ReadInt32(&ignored);  // verifier flavour
    if (in.ReadInt32(&verifierLength) < 4) return false;
    return in.Skip(verifierLength) == verifierLength;
}

}  // namespace

CQDV_RPCDeamon::~CQDV_RPCDeamon() = default;

void CQDV_RPCDeamon::Register(uint32_t program, CQDV_RPC* handler) {
    if (program >= kFirstProgram && program - kFirstProgram < kProgramSlots) {
        m_pHandlers[program - kFirstProgram] = handler;
    }
}

void CQDV_RPCDeamon::BroadcastFlag(uint8_t flag) {
    for (CQDV_RPC* handler : m_pHandlers) {
        if (handler != nullptr) handler->SetFlag(flag);
    }
}

CQDV_RPC* CQDV_RPCDeamon::FindHandler(uint32_t program) const {
    if (program < kFirstProgram || program - kFirstProgram >= kProgramSlots) return nullptr;
    return m_pHandlers[program - kFirstProgram];
}

// A datagram holds exactly one call; a TCP receive holds whole records, each answered in order
// whatever became of the one before. Only a failed send ends the connection, and with it the
// rest of the receive: nothing more of a client that has gone is carried out.
void CQDV_RPCDeamon::OnReceive(CSocket& connection) {
    IInputStream& in = connection.GetInputStream();
    IOutputStream& out = connection.GetOutputStream();
    const int transport = connection.GetType();
    const std::string& client = connection.GetPeerAddressText();
    while (in.Remaining() > 0) {
        {
            std::lock_guard<std::mutex> lock(m_callLock);
            HandleCall(transport, in, out, client.c_str(), connection.GetPeerPort());
        }
        if (!connection.SendReply() || transport == kTransportUdp) break;
    }
}

void CQDV_RPCDeamon::ForgetReplies() {
    std::lock_guard<std::mutex> lock(m_callLock);
    m_replies.Clear();
}

int CQDV_RPCDeamon::HandleCall(int transport, IInputStream& in, IOutputStream& out,
                               const char* client, uint16_t clientPort) {
    if (transport != kTransportTcp) return AnswerCall(in, out, client, clientPort);
    uint32_t mark = 0;
    in.ReadInt32(&mark);
    BoundedInputStream record(in, mark & ~kLastFragment);
    uint32_t markPosition = out.Position();
    out.WriteInt32(0);
    int result = AnswerCall(record, out, client, clientPort);
    record.SkipRest();
    out.Seek(0, kSeekEnd);
    uint32_t end = out.Position();
    out.Seek(static_cast<int32_t>(markPosition), kSeekStart);
    out.WriteInt32(kLastFragment | (end - markPosition - 4));
    out.Seek(0, kSeekEnd);
    return result;
}

// Every reply carries the empty verifier: the server authenticates nobody, and echoing the
// caller's flavour without a body (what a non-empty verifier would otherwise get) is not a valid
// reply under the standard.
int CQDV_RPCDeamon::AnswerCall(IInputStream& in, IOutputStream& out, const char* client,
                               uint16_t clientPort) {
    CallHeader header;
    bool decoded = ReadCallHeader(in, header);
    out.WriteInt32(header.xid);
    out.WriteInt32(kMsgReply);
    out.WriteInt32(kMsgAccepted);
    out.WriteInt32(kAuthNull);
    out.WriteInt32(0);
    uint32_t acceptPosition = out.Position();
    if (!decoded) {
        out.WriteInt32(kGarbageArgs);
        return kDispatchGarbage;
    }
    CQDV_RPC* handler = FindHandler(header.program);
    if (handler == nullptr) {
        out.WriteInt32(kProgUnavail);
        return kDispatchDone;
    }
    VersionRange versions = handler->SupportedVersions();
    if (header.version < versions.low || header.version > versions.high) {
        out.WriteInt32(kProgMismatch);
        out.WriteInt32(versions.low);
        out.WriteInt32(versions.high);
        return kDispatchDone;
    }
    out.WriteInt32(kSuccess);
    RPCCallContext context{header.version, header.procedure, client};
    auto serve = [&](IInputStream& arguments, IOutputStream& results) {
        return handler->Dispatch(arguments, results, context);
    };
    int result = handler->ChangesFileSystem(header.version, header.procedure)
                     ? m_replies.Answer({client, clientPort, header.xid, header.program,
                                         header.version, header.procedure},
                                        in, out, serve)
                     : serve(in, out);
    if (result == kDispatchGarbage || result == kDispatchProcUnavail) {
        out.Seek(static_cast<int32_t>(acceptPosition), kSeekStart);
        out.WriteInt32(result == kDispatchGarbage ? kGarbageArgs : kProcUnavail);
    }
    return result;
}
