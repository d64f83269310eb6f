#include "QDV_PortManager.h"

#include "QDV_RPCDeamon.h"

namespace {

bool IsTableProgram(uint32_t program) {
    return program >= CQDV_RPCDeamon::kFirstProgram &&
           program - CQDV_RPCDeamon::kFirstProgram < CQDV_RPCDeamon::kProgramSlots;
}

}  // namespace

// CALLIT (5) is not served: this portmapper forwards nothing.
const CQDV_PortManager::Procedure CQDV_PortManager::kProcedures[] = {
    &CQDV_PortManager::ProcNull,    // 0 NULL
    &CQDV_PortManager::ProcRefuse,  // 1 SET
    &CQDV_PortManager::ProcRefuse,  // 2 UNSET
    &CQDV_PortManager::GetPort,     // 3 GETPORT
    &CQDV_PortManager::ProcDump,    // 4 DUMP
};

CQDV_PortManager::~CQDV_PortManager() = default;

void CQDV_PortManager::SetPort(uint32_t program, int32_t port) {
    if (IsTableProgram(program)) m_nPort[program - CQDV_RPCDeamon::kFirstProgram] = port;
}

int CQDV_PortManager::Dispatch(IInputStream& in, IOutputStream& out,
                               const RPCCallContext& context) {
    return ServeCall(in, out, context, sizeof kProcedures / sizeof kProcedures[0],
                     OtherFailures::kGarbage,
                     [this, &context] { (this->*kProcedures[context.procedure])(); });
}

void CQDV_PortManager::ProcNull() {
    Trace("NULL");
}

// RFC 1833 3.2: SET and UNSET answer a boolean; nobody may change this table.
void CQDV_PortManager::ProcRefuse() {
    Trace("SET");
    m_pOut->WriteInt32(0);
}

// The answer depends on the program alone: the same port for every version and both protocols.
// Missing argument words count as 0, which answers 0 (not registered).
void CQDV_PortManager::GetPort() {
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
}

// RFC 1833 3.2: a linked list of mappings, each entry behind a TRUE, the end a FALSE.
void CQDV_PortManager::ProcDump() {
    Trace("DUMP");
    for (const Mapping& mapping : m_mappings) {
        m_pOut->WriteInt32(1);
        m_pOut->WriteInt32(mapping.program);
        m_pOut->WriteInt32(mapping.version);
        m_pOut->WriteInt32(mapping.protocol);
        m_pOut->WriteInt32(mapping.port);
    }
    m_pOut->WriteInt32(0);
}
