#pragma once

#include "QDV_RPC.h"
#include "Xdr.h"

// Base of the handlers that serve their procedures from a table indexed by procedure number
// (MOUNT and the two NFS versions). It keeps the call's streams and context for the procedures
// and owns what every call goes through: the trace frame, the unserved range, and turning a
// failed decode into GARBAGE_ARGS.
class CProcedureTableHandler : public CQDV_RPC {
  protected:
    enum class OtherFailures {
        kGarbage,    // any exception answers GARBAGE_ARGS
        kPropagate,  // only a failed decode does; anything else leaves Dispatch for the caller
    };

    // Serves procedure numbers below `count` through `serve`; the others are not served.
    template <typename Serve>
    int ServeCall(IInputStream& in, IOutputStream& out, const RPCCallContext& context,
                  uint32_t count, OtherFailures others, Serve serve) {
        Trace("%s", ProgramTrace());
        if (context.procedure >= count) {
            Trace("%s\n", NotServedTrace());
            return kDispatchProcUnavail;
        }
        m_pIn = &in;
        m_pOut = &out;
        m_pContext = &context;
        m_nResult = kDispatchDone;
        try {
            serve();
        } catch (const XdrDecodeError&) {
            Fail();
        } catch (...) {
            if (others == OtherFailures::kPropagate) throw;
            Fail();
        }
        Trace("\n");
        return m_nResult;
    }

    // One entry of a procedure table: the procedure's trace name, its handler, which answers a
    // status of its program, and whether a call changes the file system (CQDV_RPC).
    template <typename Owner, typename Status>
    struct NamedProcedure {
        const char* name;
        Status (Owner::*handler)();
        bool changesFileSystem = false;
    };

    // Runs one table entry between the trace of its name and the trace of its status's name.
    template <typename Owner, typename Status>
    void ServeNamed(Owner* owner, const NamedProcedure<Owner, Status>& procedure,
                    const char* (*statusName)(uint32_t)) {
        Trace("%s", procedure.name);
        Status status = (owner->*procedure.handler)();
        if (m_nResult != kDispatchDone) return;
        const char* name = statusName(status);
        Trace(" %s", name != nullptr ? name : "");
    }

    // All of the call's arguments, decoded into `args` before the procedure does any work.
    template <typename Args>
    Args& Decode(Args& args) {
        Read(*m_pIn, args);
        return args;
    }

    // A procedure that is not served says so here.
    void NotServed() { m_nResult = kDispatchProcUnavail; }

    virtual const char* ProgramTrace() const = 0;
    virtual const char* NotServedTrace() const { return "NOIMP"; }

    IInputStream* m_pIn = nullptr;
    IOutputStream* m_pOut = nullptr;
    const RPCCallContext* m_pContext = nullptr;
    int m_nResult = kDispatchDone;

  private:
    void Fail() {
        Trace(" fail");
        m_nResult = kDispatchGarbage;
    }
};
