#pragma once

#include <cstdint>
#include <mutex>

#include "QDV_RPC.h"
#include "ReplyCache.h"
#include "SocketListener.h"

// ONC RPC version 2 (RFC 5531) between the sockets and the program handlers. Every receive of
// every socket comes through OnReceive, and one call lock lets exactly one call at a time be
// decoded and handled in the whole server. Replies are sent outside the lock, each from its own
// connection's buffer, so a client that stops reading holds up nobody but itself.
class CQDV_RPCDeamon : public ISocketListener {
  public:
    static constexpr uint32_t kFirstProgram = 100000;
    static constexpr uint32_t kProgramSlots = 10;

    CQDV_RPCDeamon() = default;
    virtual ~CQDV_RPCDeamon();
    CQDV_RPCDeamon(const CQDV_RPCDeamon&) = delete;
    CQDV_RPCDeamon& operator=(const CQDV_RPCDeamon&) = delete;

    void Register(uint32_t program, CQDV_RPC* handler);
    void BroadcastFlag(uint8_t flag);
    void OnReceive(CSocket& connection) override;
    // Drops the kept replies: a stopped server's calls are not answered in the next run.
    void ForgetReplies();

    // Decodes one call (on TCP: one record, mark first) and encodes its reply; does not send.
    // Returns the handler's Dispatch result, kDispatchGarbage for a call the layer itself could
    // not decode, and kDispatchDone for a program or version that is not served.
    int HandleCall(int transport, IInputStream& in, IOutputStream& out, const char* client,
                   uint16_t clientPort = 0);

  private:
    int AnswerCall(IInputStream& in, IOutputStream& out, const char* client, uint16_t clientPort);
    CQDV_RPC* FindHandler(uint32_t program) const;

    CQDV_RPC* m_pHandlers[kProgramSlots] = {};
    CReplyCache m_replies;
    std::mutex m_callLock;
};
