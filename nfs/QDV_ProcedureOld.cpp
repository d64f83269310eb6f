#include "QDV_ProcedureOld.h"

const CQDV_ProcedureOld::Procedure CQDV_ProcedureOld::kProcedures[] = {
    {"NULL", &CQDV_ProcedureOld::ProcNull},      // 0
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 1 GETATTR
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 2 SETATTR
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 3 ROOT
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 4 LOOKUP
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 5 READLINK
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 6 READ
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 7 WRITECACHE
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 8 WRITE
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 9 CREATE
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 10 REMOVE
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 11 RENAME
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 12 LINK
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 13 SYMLINK
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 14 MKDIR
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 15 RMDIR
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 16 READDIR
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},  // 17 STATFS
};

const uint32_t CQDV_ProcedureOld::kProcedureCount = sizeof kProcedures / sizeof kProcedures[0];

CQDV_ProcedureOld::~CQDV_ProcedureOld() = default;

void CQDV_ProcedureOld::SetOwner(int32_t uid, int32_t gid) {
    m_nUid = uid;
    m_nGid = gid;
}

int CQDV_ProcedureOld::Dispatch(IInputStream& in, IOutputStream& out,
                                const RPCCallContext& context) {
    return ServeCall(in, out, context, kProcedureCount, OtherFailures::kPropagate,
                     [this, &context] { Serve(kProcedures[context.procedure]); });
}

void CQDV_ProcedureOld::Serve(const Procedure& procedure) {
    Trace("%s", procedure.name);
    nfsstat status = (this->*procedure.handler)();
    if (m_nResult != kDispatchDone) return;
    const char* name = Nfs2StatusName(status);
    Trace(" %s", name != nullptr ? name : "");
}

nfsstat CQDV_ProcedureOld::ProcNull() {
    return NFS_OK;
}

nfsstat CQDV_ProcedureOld::ProcNotImp() {
    NotServed();
    return NFS_OK;
}
