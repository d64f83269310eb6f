#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "SocketApi.h"

constexpr uint32_t kLoopback = 0x7F000001;
// Every wait of a loopback test is bounded by this.
constexpr uint32_t kReplyTimeoutMs = 5000;

// A port that is free for both UDP and TCP on 127.0.0.1 at the time of asking, outside the
// range the system hands out for port 0.
uint16_t FreePort();
// `count` different such ports (zeros when none could be found).
std::vector<uint16_t> FreePorts(size_t count);

// A test client socket on 127.0.0.1; closed when it goes out of scope.
class ClientSocket {
  public:
    static ClientSocket Udp();
    // Connected to 127.0.0.1:port, or an invalid socket.
    static ClientSocket Tcp(uint16_t port);
    ClientSocket(ClientSocket&& other) noexcept;
    ClientSocket& operator=(ClientSocket&&) = delete;
    ~ClientSocket();

    bool Valid() const { return m_socket != net::kNoSocket; }
    bool Send(const std::vector<uint8_t>& bytes);
    bool SendTo(uint16_t port, const std::vector<uint8_t>& bytes);
    // One datagram, or nothing within the time-out.
    std::optional<std::vector<uint8_t>> ReceiveDatagram();
    // One TCP record (mark and body), or nothing when the time-out or a close comes first.
    std::optional<std::vector<uint8_t>> ReceiveRecord();
    // True once the server has closed the connection (a receive returns 0 or an error other
    // than the time-out) within the bounded wait.
    bool WaitForClose();
    // Tells the server that nothing more will come (FIN).
    void ShutdownSending() { net::ShutdownSending(m_socket); }
    uint16_t LocalPort() const { return net::LocalPort(m_socket); }
    // Bounds the receives from now on to `milliseconds` instead of kReplyTimeoutMs.
    void SetTimeout(uint32_t milliseconds) { net::SetReceiveTimeout(m_socket, milliseconds); }

  private:
    explicit ClientSocket(net::SocketHandle socket);
    bool ReceiveExactly(uint8_t* buffer, uint32_t size);

    net::SocketHandle m_socket;
};
