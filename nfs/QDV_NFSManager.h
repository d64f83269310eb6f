#pragma once

#include <memory>

#include "QDV_RPC.h"

class CQDV_ProcedureOld;
class CQDV_Procedure3;

// The NFS program (100003): hands each call to the version 2 set or, for every other version,
// to the version 3 set. There is no version check: a version 1 or 4 call is answered as
// version 3. Each set is made on its first call and lives until the program ends.
class CQDV_NFSManager : public CQDV_RPC {
  public:
    CQDV_NFSManager();
    ~CQDV_NFSManager() override;

    void SetOwner(int32_t uid, int32_t gid);
    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override;
    bool ChangesFileSystem(uint32_t version, uint32_t procedure) const override;
    void SetFlag(uint8_t flag) override;

  private:
    int DispatchVersion2(IInputStream& in, IOutputStream& out, const RPCCallContext& context);
    int DispatchVersion3(IInputStream& in, IOutputStream& out, const RPCCallContext& context);

    int32_t m_nUid = 0;
    int32_t m_nGid = 0;
    std::unique_ptr<CQDV_ProcedureOld> m_pProcV2;
    std::unique_ptr<CQDV_Procedure3> m_pProcV3;
};
