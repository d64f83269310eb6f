#pragma once

#include <utility>
#include <vector>

#include "ProcedureTableHandler.h"

// The portmapper (program 100000, version 2 of RFC 1833): a fixed table of the ports of MOUNT
// and NFS, not a registration service. GETPORT answers by program alone; DUMP lists what the
// server offers, so that standard tools (rpcinfo, showmount) find their way; SET and UNSET are
// refused. Other versions (rpcbind's 3 and 4) are answered PROG_MISMATCH, after which the ONC RPC
// library of those tools falls back to version 2.
class CQDV_PortManager : public CProcedureTableHandler {
  public:
    // One entry of a DUMP listing (RFC 1833 "mapping").
    struct Mapping {
        uint32_t program;
        uint32_t version;
        uint32_t protocol;  // 6 TCP, 17 UDP
        uint32_t port;
    };

    CQDV_PortManager() = default;
    ~CQDV_PortManager() override;

    void SetPort(uint32_t program, int32_t port);
    void SetMappings(std::vector<Mapping> mappings) { m_mappings = std::move(mappings); }
    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override;
    VersionRange SupportedVersions() const override { return {2, 2}; }

  private:
    using Procedure = void (CQDV_PortManager::*)();

    void ProcNull();
    void ProcRefuse();
    void GetPort();
    void ProcDump();
    const char* ProgramTrace() const override { return "PORTMAP "; }

    static const Procedure kProcedures[];

    int32_t m_nPort[10] = {};
    std::vector<Mapping> m_mappings;
};
