#include "DatagramSocket.h"

CDatagramSocket::~CDatagramSocket() {
    Close();
}

bool CDatagramSocket::Open(bool bindToAll, int addressIndex, uint16_t port) {
    uint32_t address = 0;
    if (!ChooseBindAddress(bindToAll, addressIndex, &address)) {
        Close();
        return false;
    }
    return OpenAt(address, port);
}

bool CDatagramSocket::OpenAt(uint32_t address, uint16_t port) {
    Close();
    net::SocketHandle socket = net::OpenDatagram();
    if (socket == net::kNoSocket) return false;
    if (!net::Bind(socket, address, port)) {
        net::Shutdown(socket);
        net::Close(socket);
        return false;
    }
    m_nPort = net::LocalPort(socket);
    m_bClosed = false;
    m_pConnection = std::make_unique<CSocket>(kTransportUdp);
    m_pConnection->Attach(socket, m_pListener, nullptr);
    return true;
}

void CDatagramSocket::Shutdown() {
    if (m_pConnection) m_pConnection->Shutdown();
}

// The connection object owns the socket: destroying it ends the receive thread and closes the
// socket exactly once.
void CDatagramSocket::Close() {
    if (m_bClosed) return;
    m_bClosed = true;
    m_pConnection.reset();
}
