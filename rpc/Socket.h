#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "SocketApi.h"
#include "SocketStream.h"

class ISocketListener;

enum TransportType : int { kTransportTcp = 1, kTransportUdp = 2 };

// One connection: a UDP socket or an accepted TCP connection, the peer's address, the streams
// that calls are decoded from and replies encoded into, and, while attached, its receive thread.
class CSocket {
  public:
    explicit CSocket(int type);
    virtual ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    // Closes what was attached before, then takes the socket and starts its receive thread.
    void Attach(net::SocketHandle socket, ISocketListener* listener,
                const net::SocketAddress* peer);
    // Ends the receive thread (by shutting the socket down) and releases the socket.
    void Close();
    bool IsBusy() const { return m_bBusy.load(); }

    int GetType() const { return m_nType; }
    IInputStream& GetInputStream() { return m_stream; }
    IOutputStream& GetOutputStream() { return m_stream; }
    std::string GetPeerAddressText() const;
    uint16_t GetPeerPort() const { return m_peer.port; }
    // Sends the reply held in the output stream to the peer, then empties the output.
    void SendReply();

  private:
    void ReceiveLoop();
    void ReceiveDatagrams();
    void ReceiveRecords();
    void Deliver(uint32_t length);
    void ShutdownOnce();
    void ReportSendFailure(net::SendError error);

    const int m_nType;
    net::SocketHandle m_socket = net::kNoSocket;
    net::SocketAddress m_peer;
    ISocketListener* m_pListener = nullptr;
    CSocketStream m_stream;
    std::atomic<bool> m_bBusy{false};
    std::atomic<bool> m_bShutDown{false};
    std::thread m_thread;
};

// The address that Open binds to: every address when bindToAll is set or when addressIndex (from
// 1) names no entry of the local host's address list, otherwise that entry. False when the local
// host entry cannot be obtained.
bool ChooseBindAddress(bool bindToAll, int addressIndex, uint32_t* address);
