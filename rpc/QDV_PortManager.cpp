#include "QDV_PortManager.h"

#include "QDV_RPCDeamon.h"

namespace {

bool IsTableProgram(uint32_t program) {
    return program >= CQDV_RPCDeamon::kFirstProgram &&
           program - CQDV_RPCDeamon::kFirstProgram < CQDV_RPCDeamon::kProgramSlots;
}

}  // namespace

CQDV_PortManager::~CQDV_PortManager() = default;

void CQDV_PortManager::SetPort(uint32_t program, int32_t port) {
    if (IsTableProgram(program)) m_nPort[program - CQDV_RPCDeamon::kFirstProgram] = port;
}

int CQDV_PortManager::Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext&) {
    Trace("PORTMAP ");
    m_pIn = &in;
    m_pOut = &out;
    GetPort();
    Trace("\n");
    return kDispatchDone;
}

// The answer depends on the program alone: the same port for every version and both protocols.
// Missing argument words count as 0, which answers 0 (not registered).
bool CQDV_PortManager::GetPort() {
    Trace("GETPORT");
    uint32_t program = 0;
    m_pIn->ReadInt32(&program);
    m_pIn->Skip(12);
    uint32_t port = 0;
    if (IsTableProgram(program)) {
        port = static_cast<uint32_t>(m_nPort[program - CQDV_RPCDeamon::kFirstProgram]);
    }
    Trace(" %u %u", program, port);
    m_pOut->WriteInt32(port);
    return true;
}
