#pragma once

#include <cstdint>

#include "Nfs2Types.h"
#include "ProcedureTableHandler.h"

// NFS version 2 (RFC 1094) over the shared folders. One constant table, indexed by procedure
// number, names each procedure and its handler; the dispatcher owns tracing, the unserved range
// and turning a failed decode into GARBAGE_ARGS. Any other exception leaves Dispatch for the NFS
// program to report. Handlers decode all their arguments, then work, then encode, and return
// their nfsstat.
class CQDV_ProcedureOld : public CProcedureTableHandler {
  public:
    CQDV_ProcedureOld() = default;
    ~CQDV_ProcedureOld() override;

    void SetOwner(int32_t uid, int32_t gid);
    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override;

  private:
    using Handler = nfsstat (CQDV_ProcedureOld::*)();
    struct Procedure {
        const char* name;
        Handler handler;
    };
    static const Procedure kProcedures[];
    static const uint32_t kProcedureCount;

    void Serve(const Procedure& procedure);

    const char* ProgramTrace() const override { return "NFS "; }
    const char* NotServedTrace() const override { return "NOTIMP"; }
    nfsstat ProcNull();
    nfsstat ProcNotImp();

    int32_t m_nUid = 0;
    int32_t m_nGid = 0;
};
