#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "Socket.h"

// One TCP port: a listening socket, its accept thread and a fixed pool of connection slots, each
// with its own receive thread while a client is connected. When every slot is taken, the
// connection that has been silent longest (a second at least) makes room for the newcomer: a
// player that lost power never sends its FIN, and its dead connection must not lock everyone
// out.
class CServerSocket {
  public:
    CServerSocket() = default;
    ~CServerSocket();
    CServerSocket(const CServerSocket&) = delete;
    CServerSocket& operator=(const CServerSocket&) = delete;

    void SetListener(ISocketListener* listener) { m_pListener = listener; }
    // `slots` is both the number of connections served at once and the listen backlog. Port 0
    // binds a free port; GetPort then tells which.
    bool Open(bool bindToAll, int addressIndex, uint16_t port, int slots);
    // Open on one address of this machine (0: every address).
    bool OpenAt(uint32_t address, uint16_t port, int slots);
    // Wakes the accept thread and every connection without waiting for any (the first half of
    // Close).
    void Shutdown();
    void Close();
    uint16_t GetPort() const { return m_nPort; }

  private:
    void AcceptLoop();
    CSocket* FindFreeSlot();
    CSocket* ReclaimIdlestSlot();

    uint16_t m_nPort = 0;
    int m_nMaxNum = 0;
    net::SocketHandle m_socket = net::kNoSocket;
    std::atomic<bool> m_bClosed{true};
    std::atomic<bool> m_bShutDown{true};
    ISocketListener* m_pListener = nullptr;
    std::thread m_acceptThread;
    std::vector<std::unique_ptr<CSocket>> m_slots;
};
