#pragma once

#include <memory>

#include "Socket.h"

// One UDP port: a bound socket served by a single connection object and its receive thread, so
// datagrams on a port are answered one at a time.
class CDatagramSocket {
  public:
    CDatagramSocket() = default;
    ~CDatagramSocket();
    CDatagramSocket(const CDatagramSocket&) = delete;
    CDatagramSocket& operator=(const CDatagramSocket&) = delete;

    void SetListener(ISocketListener* listener) { m_pListener = listener; }
    // Port 0 binds a free port; GetPort then tells which.
    bool Open(bool bindToAll, int addressIndex, uint16_t port);
    // Open on one address of this machine (0: every address).
    bool OpenAt(uint32_t address, uint16_t port);
    // Wakes the receive thread without waiting for it (the first half of Close).
    void Shutdown();
    void Close();
    uint16_t GetPort() const { return m_nPort; }

  private:
    uint16_t m_nPort = 0;
    std::unique_ptr<CSocket> m_pConnection;
    bool m_bClosed = true;
    ISocketListener* m_pListener = nullptr;
};
