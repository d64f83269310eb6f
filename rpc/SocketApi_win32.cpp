#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <mswsock.h>
#include <winsock2.h>

#include "SocketApi.h"

namespace net {

namespace {

SOCKET Sock(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

SocketHandle Handle(SOCKET socket) {
    return socket == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(socket);
}

sockaddr_in ToSockaddr(uint32_t address, uint16_t port) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(address);
    in.sin_port = htons(port);
    return in;
}

void FromSockaddr(const sockaddr_in& in, SocketAddress* out) {
    if (out == nullptr) return;
    out->address = ntohl(in.sin_addr.s_addr);
    out->port = ntohs(in.sin_port);
}

SendError ToSendError(int error) {
    switch (error) {
        case WSAENOBUFS:
            return SendError::kNoMemory;
        case WSAEFAULT:
            return SendError::kFault;
        case WSAEINVAL:
        case WSAENOTSOCK:
            return SendError::kInvalid;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAESHUTDOWN:
        case WSAENOTCONN:
            return SendError::kClosed;
        case WSAEINTR:
            return SendError::kInterrupted;
        case WSAEWOULDBLOCK:
            return SendError::kWouldBlock;
        default:
            return SendError::kOther;
    }
}

// Waits until the socket can take a send (or has something to receive); select's count: 0 when
// `limit` ran out, negative when the socket was closed meanwhile. Closing a socket from another
// thread ends a wait in select, on Windows and under Wine alike, but under Wine it does not end
// a blocked send: a reply to a client that stopped reading would hold a stop for the whole send
// time-out.
enum Readiness { kForReading, kForWriting };

int WaitUntilReady(SOCKET socket, Readiness readiness, timeval* limit) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    return select(0, readiness == kForReading ? &ready : nullptr,
                  readiness == kForWriting ? &ready : nullptr, nullptr, limit);
}

}  // namespace

// WSAStartup's refusals by name; WSASYSNOTREADY, and whatever else it may say, is "not ready".
StartupError Startup() {
    static const struct {
        int code;
        StartupError error;
    } kRefusals[] = {{0, StartupError::kNone},
                     {WSAVERNOTSUPPORTED, StartupError::kVersion},
                     {WSAEINPROGRESS, StartupError::kInProgress},
                     {WSAEPROCLIM, StartupError::kProcessLimit}};
    WSADATA data;
    const int code = WSAStartup(MAKEWORD(1, 1), &data);
    for (const auto& refusal : kRefusals) {
        if (refusal.code == code) return refusal.error;
    }
    return StartupError::kNotReady;
}

void Cleanup() {
    WSACleanup();
}

// The addresses in the order the resolver gives them for the machine's own name.
bool PlatformLocalHostEntry(HostEntry& entry) {
    char name[80] = {};
    if (gethostname(name, sizeof name) != 0) return false;
    hostent* host = gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET) return false;
    entry.name = name;
    entry.addresses.clear();
    for (char** it = host->h_addr_list; *it != nullptr; ++it) {
        entry.addresses.push_back(ntohl(reinterpret_cast<in_addr*>(*it)->s_addr));
    }
    return !entry.addresses.empty();
}

// Without this, an ICMP port-unreachable for one of our replies (a client that timed out and
// closed its port) makes the next recvfrom fail with WSAECONNRESET.
SocketHandle OpenDatagram() {
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s != INVALID_SOCKET) {
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
                 nullptr);
    }
    return Handle(s);
}

SocketHandle OpenStream() {
    return Handle(::socket(AF_INET, SOCK_STREAM, 0));
}

bool Bind(SocketHandle socket, uint32_t address, uint16_t port) {
    sockaddr_in in = ToSockaddr(address, port);
    return ::bind(Sock(socket), reinterpret_cast<sockaddr*>(&in), sizeof in) == 0;
}

bool Listen(SocketHandle socket, int backlog) {
    return ::listen(Sock(socket), backlog) == 0;
}

uint16_t LocalPort(SocketHandle socket) {
    sockaddr_in in{};
    int length = sizeof in;
    if (getsockname(Sock(socket), reinterpret_cast<sockaddr*>(&in), &length) != 0) return 0;
    return ntohs(in.sin_port);
}

// Replies go out at once: clients keep several calls in flight, and with Nagle's algorithm
// each small reply would wait for the acknowledgement of the one before it. The connection never
// blocks in a call: it waits in select instead (see WaitUntilReady).
SocketHandle Accept(SocketHandle socket, SocketAddress* peer) {
    sockaddr_in in{};
    int length = sizeof in;
    SOCKET accepted = ::accept(Sock(socket), reinterpret_cast<sockaddr*>(&in), &length);
    if (accepted != INVALID_SOCKET) {
        FromSockaddr(in, peer);
        BOOL on = TRUE;
        setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on);
        u_long nonBlocking = 1;
        ioctlsocket(accepted, FIONBIO, &nonBlocking);
    }
    return Handle(accepted);
}

int Receive(SocketHandle socket, void* buffer, uint32_t size) {
    for (;;) {
        int n = ::recv(Sock(socket), static_cast<char*>(buffer), static_cast<int>(size), 0);
        if (n != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return n;
        if (WaitUntilReady(Sock(socket), kForReading, nullptr) <= 0) return SOCKET_ERROR;
    }
}

int ReceiveFrom(SocketHandle socket, void* buffer, uint32_t size, SocketAddress* from) {
    sockaddr_in in{};
    int length = sizeof in;
    int n = ::recvfrom(Sock(socket), static_cast<char*>(buffer), static_cast<int>(size), 0,
                       reinterpret_cast<sockaddr*>(&in), &length);
    if (n > 0) FromSockaddr(in, from);
    return n;
}

SendError Send(SocketHandle socket, const void* data, uint32_t size) {
    timeval limit = {kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        int n = ::send(Sock(socket), bytes, static_cast<int>(size), 0);
        if (n == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error != WSAEWOULDBLOCK) return ToSendError(error);
            int ready = WaitUntilReady(Sock(socket), kForWriting, &limit);
            if (ready == 0) return ToSendError(WSAETIMEDOUT);
            if (ready < 0) return ToSendError(WSAGetLastError());
            continue;
        }
        bytes += n;
        size -= static_cast<uint32_t>(n);
    }
    return SendError::kNone;
}

SendError SendTo(SocketHandle socket, const void* data, uint32_t size, const SocketAddress& to) {
    sockaddr_in in = ToSockaddr(to.address, to.port);
    int n = ::sendto(Sock(socket), static_cast<const char*>(data), static_cast<int>(size), 0,
                     reinterpret_cast<sockaddr*>(&in), sizeof in);
    return n == SOCKET_ERROR ? ToSendError(WSAGetLastError()) : SendError::kNone;
}

// Under Winsock only closesocket wakes a thread blocked in accept, recv or recvfrom (shutdown
// does not, on Windows nor under Wine), so shutting down is releasing, and Close has nothing
// left to do.
void Shutdown(SocketHandle socket) {
    closesocket(Sock(socket));
}

void Close(SocketHandle) {}

bool Connect(SocketHandle socket, uint32_t address, uint16_t port) {
    sockaddr_in in = ToSockaddr(address, port);
    return ::connect(Sock(socket), reinterpret_cast<sockaddr*>(&in), sizeof in) == 0;
}

bool SetReceiveTimeout(SocketHandle socket, uint32_t milliseconds) {
    DWORD limit = milliseconds;
    return setsockopt(Sock(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit),
                      sizeof limit) == 0;
}

void ShutdownSending(SocketHandle socket) {
    ::shutdown(Sock(socket), SD_SEND);
}

}  // namespace net
