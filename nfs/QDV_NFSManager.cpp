#include "QDV_NFSManager.h"

#include <exception>

#include "QDV_Procedure3.h"
#include "QDV_ProcedureOld.h"
#include "ShareEvents.h"

namespace {
const char* const kExceptionCaption = "QuonDorvel";
}

CQDV_NFSManager::CQDV_NFSManager() = default;

// The version 2 set goes first, then the version 3 set.
CQDV_NFSManager::~CQDV_NFSManager() {
    m_pProcV2.reset();
    m_pProcV3.reset();
}

void CQDV_NFSManager::SetOwner(int32_t uid, int32_t gid) {
    m_nUid = uid;
    m_nGid = gid;
}

void CQDV_NFSManager::SetFlag(uint8_t flag) {
    CQDV_RPC::SetFlag(flag);
    if (m_pProcV2) m_pProcV2->SetFlag(flag);
    if (m_pProcV3) m_pProcV3->SetFlag(flag);
}

int CQDV_NFSManager::Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) {
    if (context.version == 2) return DispatchVersion2(in, out, context);
    return DispatchVersion3(in, out, context);
}

bool CQDV_NFSManager::ChangesFileSystem(uint32_t version, uint32_t procedure) const {
    return version == 2 ? CQDV_ProcedureOld::ProcedureChangesFileSystem(procedure)
                        : CQDV_Procedure3::ProcedureChangesFileSystem(procedure);
}

// A failure that leaves the version 2 set (anything but a failed decode, which the set answers
// itself) is told to the person at the computer without holding up the server, and the call is
// answered as undecodable.
int CQDV_NFSManager::DispatchVersion2(IInputStream& in, IOutputStream& out,
                                      const RPCCallContext& context) {
    try {
        if (!m_pProcV2) {
            m_pProcV2 = std::make_unique<CQDV_ProcedureOld>();
            m_pProcV2->SetOwner(m_nUid, m_nGid);
            m_pProcV2->SetFlag(m_bFlag);
        }
        return m_pProcV2->Dispatch(in, out, context);
    } catch (const std::exception& failure) {
        ShareEvents().NotifyUser(failure.what(), kExceptionCaption);
    } catch (...) {
        ShareEvents().NotifyUser("Unknown failure in an NFS version 2 call", kExceptionCaption);
    }
    return kDispatchGarbage;
}

int CQDV_NFSManager::DispatchVersion3(IInputStream& in, IOutputStream& out,
                                      const RPCCallContext& context) {
    if (!m_pProcV3) {
        m_pProcV3 = std::make_unique<CQDV_Procedure3>();
        m_pProcV3->SetOwner(m_nUid, m_nGid);
        m_pProcV3->SetFlag(m_bFlag);
    }
    return m_pProcV3->Dispatch(in, out, context);
}
