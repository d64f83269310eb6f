#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>

#include "SocketApi.h"

namespace net {

namespace {

int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
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

timeval ToTimeval(uint32_t milliseconds) {
    timeval limit{};
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    return limit;
}

bool IsLoopback(uint32_t address) {
    return (address >> 24) == 127;
}

SendError ToSendError(int error) {
    switch (error) {
        case ENOMEM:
        case ENOBUFS:
            return SendError::kNoMemory;
        case EFAULT:
            return SendError::kFault;
        case EBADF:
        case ENOTSOCK:
        case EINVAL:
            return SendError::kInvalid;
        case EPIPE:
        case ECONNRESET:
            return SendError::kClosed;
        case EINTR:
            return SendError::kInterrupted;
        case EAGAIN:
            return SendError::kWouldBlock;
        default:
            return SendError::kOther;
    }
}

}  // namespace

StartupError Startup() {
    return StartupError::kNone;
}

void Cleanup() {}

// The interface addresses in the system's order, loopback last, so that the first address is a
// real network address whenever the machine has one.
bool PlatformLocalHostEntry(HostEntry& entry) {
    char name[80] = {};
    if (gethostname(name, sizeof name - 1) != 0) return false;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    std::vector<uint32_t> addresses;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        uint32_t address = ntohl(reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr);
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(address);
        }
    }
    freeifaddrs(list);
    std::stable_partition(addresses.begin(), addresses.end(),
                          [](uint32_t a) { return !IsLoopback(a); });
    entry.name = name;
    entry.addresses = std::move(addresses);
    return !entry.addresses.empty();
}

SocketHandle OpenDatagram() {
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

// A listening port must be bindable again right after a stop, as it is on Windows; on POSIX the
// connections the server closed would otherwise hold it in TIME_WAIT for a minute. This does not
// let a second listener onto a port that is in use.
SocketHandle OpenStream() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    return fd;
}

bool Bind(SocketHandle socket, uint32_t address, uint16_t port) {
    sockaddr_in in = ToSockaddr(address, port);
    return ::bind(Fd(socket), reinterpret_cast<sockaddr*>(&in), sizeof in) == 0;
}

bool Listen(SocketHandle socket, int backlog) {
    return ::listen(Fd(socket), backlog) == 0;
}

uint16_t LocalPort(SocketHandle socket) {
    sockaddr_in in{};
    socklen_t length = sizeof in;
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&in), &length) != 0) return 0;
    return ntohs(in.sin_port);
}

// Replies go out at once: clients keep several calls in flight, and with Nagle's algorithm
// each small reply would wait for the acknowledgement of the one before it.
SocketHandle Accept(SocketHandle socket, SocketAddress* peer) {
    sockaddr_in in{};
    socklen_t length = sizeof in;
    int fd = accept4(Fd(socket), reinterpret_cast<sockaddr*>(&in), &length, SOCK_CLOEXEC);
    if (fd >= 0) {
        FromSockaddr(in, peer);
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        timeval limit = ToTimeval(kSendTimeoutMs);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    return fd;
}

int Receive(SocketHandle socket, void* buffer, uint32_t size) {
    ssize_t n;
    do {
        n = ::recv(Fd(socket), buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int ReceiveFrom(SocketHandle socket, void* buffer, uint32_t size, SocketAddress* from) {
    sockaddr_in in{};
    socklen_t length = sizeof in;
    ssize_t n;
    do {
        n = ::recvfrom(Fd(socket), buffer, size, 0, reinterpret_cast<sockaddr*>(&in), &length);
    } while (n < 0 && errno == EINTR);
    if (n > 0) FromSockaddr(in, from);
    return static_cast<int>(n);
}

// MSG_NOSIGNAL: a client that hangs up must cost its connection, not the process (SIGPIPE).
SendError Send(SocketHandle socket, const void* data, uint32_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::send(Fd(socket), bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ToSendError(errno);
        bytes += n;
        size -= static_cast<uint32_t>(n);
    }
    return SendError::kNone;
}

SendError SendTo(SocketHandle socket, const void* data, uint32_t size, const SocketAddress& to) {
    sockaddr_in in = ToSockaddr(to.address, to.port);
    ssize_t n;
    do {
        n = ::sendto(Fd(socket), data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&in),
                     sizeof in);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? ToSendError(errno) : SendError::kNone;
}

void Shutdown(SocketHandle socket) {
    ::shutdown(Fd(socket), SHUT_RDWR);
}

void Close(SocketHandle socket) {
    ::close(Fd(socket));
}

bool Connect(SocketHandle socket, uint32_t address, uint16_t port) {
    sockaddr_in in = ToSockaddr(address, port);
    return ::connect(Fd(socket), reinterpret_cast<sockaddr*>(&in), sizeof in) == 0;
}

bool SetReceiveTimeout(SocketHandle socket, uint32_t milliseconds) {
    timeval limit = ToTimeval(milliseconds);
    return setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
}

void ShutdownSending(SocketHandle socket) {
    ::shutdown(Fd(socket), SHUT_WR);
}

}  // namespace net
