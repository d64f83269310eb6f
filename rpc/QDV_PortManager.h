#pragma once

#include "QDV_RPC.h"

// The portmapper (program 100000): a fixed table of the ports of MOUNT and NFS. Every call to
// the program is answered as GETPORT (RFC 1833) of its first argument word.
class CQDV_PortManager : public CQDV_RPC {
  public:
    CQDV_PortManager() = default;
    ~CQDV_PortManager() override;

    void SetPort(uint32_t program, int32_t port);
    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override;

  private:
    bool GetPort();

    int32_t m_nPort[10] = {};
    IInputStream* m_pIn = nullptr;
    IOutputStream* m_pOut = nullptr;
};
