#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "SocketApi.h"
#include "SocketStream.h"

class ISocketListener;

enum TransportType : int { kTransportTcp = 1, kTransportUdp = 2 };

// One connection: a UDP socket or an accepted TCP connection, the peer's address, the streams
// that calls are decoded from and replies encoded into, and, while attached, its receive thread.
// The thread releases the socket itself when it ends, so a finished connection holds nothing.
class CSocket {
  public:
    explicit CSocket(int type);
    virtual ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    // Closes what was attached before, then takes the socket and starts its receive thread. A
    // connection attached without a socket only answers what it is handed (TakeReceived).
    void Attach(net::SocketHandle socket, ISocketListener* listener,
                const net::SocketAddress* peer);
    // Wakes the receive thread without waiting for it: the first half of Close, so that a stop
    // can wake every thread of the server before it joins any.
    void Shutdown();
    // Ends the receive thread and releases the socket.
    void Close();
    // Ends the connection if it is waiting for its next call; false when it is in the middle of
    // one (or not attached), which is never cut.
    bool Reclaim();
    bool IsBusy() const { return m_bBusy.load(); }
    // When bytes last arrived (or the connection was attached), in steady-clock ticks.
    int64_t LastActive() const { return m_nLastActive.load(); }

    int GetType() const { return m_nType; }
    IInputStream& GetInputStream() { return m_stream; }
    IOutputStream& GetOutputStream() { return m_stream; }
    // Valid while a received call is being answered.
    const std::string& GetPeerAddressText() const { return m_peerText; }
    uint16_t GetPeerPort() const { return m_peer.port; }
    // Sends the reply held in the output stream to the peer, then empties the output. False when
    // the connection must end: a TCP send failed.
    bool SendReply();

    // Where the next receive goes, and how much fits: behind the part of a TCP record that is
    // still incomplete.
    uint8_t* ReceiveSpace();
    uint32_t ReceiveSpaceSize() const;
    // Answers what `size` more bytes at ReceiveSpace complete: one datagram, or every complete
    // TCP record in order. False when the connection must end.
    bool TakeReceived(uint32_t size);

  private:
    enum class CallState { kWaiting, kInCall, kEnding };

    void ReceiveLoop();
    void ReceiveDatagrams();
    void ReceiveRecords();
    bool TakeRecords(uint32_t size);
    bool Deliver(uint32_t length);
    void ShutdownOnce();
    void Release();
    void Touch();
    void NotePeer();
    void ReportSendFailure(net::SendError error);

    const int m_nType;
    // Guards the socket number against the owner's Shutdown racing the thread's own release.
    mutable std::mutex m_socketLock;
    net::SocketHandle m_socket = net::kNoSocket;
    bool m_bShutDown = false;
    net::SocketAddress m_peer;
    std::string m_peerText;  // m_peer's address as text, formatted when the address changes
    uint32_t m_nPeerTextAddress = 0;
    ISocketListener* m_pListener = nullptr;
    CSocketStream m_stream;
    uint32_t m_nPending = 0;  // bytes of an incomplete TCP record at the front of the input
    std::atomic<bool> m_bBusy{false};
    std::atomic<bool> m_bClosing{false};  // the owner is ending the connection: failures are quiet
    std::atomic<bool> m_bSendFailed{false};
    bool m_bFailureReported = false;
    std::atomic<CallState> m_state{CallState::kWaiting};
    std::atomic<int64_t> m_nLastActive{0};
    std::thread m_thread;
};

// The address that Open binds to: every address when bindToAll is set or when addressIndex (from
// 1) names no entry of the local host's address list, otherwise that entry. False when the local
// host entry cannot be obtained.
bool ChooseBindAddress(bool bindToAll, int addressIndex, uint32_t* address);
