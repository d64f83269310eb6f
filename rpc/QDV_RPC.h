#pragma once

#include <cstdint>
#include <cstdio>

#include "XdrStream.h"

// What the message layer tells a program handler about the call it is serving; valid for the
// duration of one call only.
struct RPCCallContext {
    uint32_t version = 0;
    uint32_t procedure = 0;
    const char* client = "";  // the caller's IPv4 address, dotted decimal
};

// The program versions a handler serves, both ends included.
struct VersionRange {
    uint32_t low = 0;
    uint32_t high = UINT32_MAX;
};

// Results of CQDV_RPC::Dispatch. Only the message layer writes accept_stat: a handler that
// cannot serve a call says so here, before it has written anything.
enum DispatchResult : int {
    kDispatchDone = 0,         // results written
    kDispatchGarbage = 1,      // arguments undecodable: GARBAGE_ARGS
    kDispatchProcUnavail = 2,  // procedure not served: PROC_UNAVAIL
};

// Base class of every program handler.
class CQDV_RPC {
  public:
    CQDV_RPC() = default;
    virtual ~CQDV_RPC();
    CQDV_RPC(const CQDV_RPC&) = delete;
    CQDV_RPC& operator=(const CQDV_RPC&) = delete;

    // Called with the input at the first argument byte and the output right after accept_stat.
    // Lets no exception escape.
    virtual int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) = 0;
    // Whether a call changes the file system so that a second run would answer otherwise; the
    // message layer then answers a retransmission with the first call's results.
    virtual bool ChangesFileSystem(uint32_t /*version*/, uint32_t /*procedure*/) const {
        return false;
    }
    // Calls of other versions never reach Dispatch: the message layer answers them PROG_MISMATCH
    // with this range (RFC 5531 section 9). Every version, unless a handler says otherwise.
    virtual VersionRange SupportedVersions() const { return {}; }
    virtual void SetFlag(uint8_t flag) { m_bFlag = flag; }
    // The handlers narrate their work here. The texts go nowhere unless a trace output has been
    // chosen for the process (the headless front end's --trace).
    virtual int Trace(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

  protected:
    uint8_t m_bFlag = 1;
};

// Where the handlers' trace texts go; null (the default) discards them without formatting.
void SetTraceOutput(std::FILE* output);
