#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The platform's socket interface, shaped like Windows Sockets 1.1 and reduced to what the
// server uses: IPv4 and blocking calls. One implementation per platform
// (SocketApi_posix.cpp, SocketApi_win32.cpp); nothing else in the core sees a platform header.
namespace net {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Addresses and ports in host byte order.
struct SocketAddress {
    uint32_t address = 0;
    uint16_t port = 0;
};

// The local host as the server sees it: its name and its IPv4 addresses in a fixed order. That
// order numbers the addresses for binding, and the first address decides whether the machine
// has a network at all.
struct HostEntry {
    std::string name;
    std::vector<uint32_t> addresses;
};

// Why a send failed, in the platform's own terms made neutral.
enum class SendError {
    kNone,
    kNoMemory,
    kFault,
    kInvalid,
    kClosed,
    kInterrupted,
    kWouldBlock,
    kOther
};

// Why the socket interface could not be started, in terms of neither platform.
enum class StartupError {
    kNone,
    kNotReady,      // the network subsystem is not ready, or any reason not named here
    kVersion,       // the version asked for (Windows Sockets 1.1) is not there
    kInProgress,    // another blocking operation of the interface is in progress
    kProcessLimit,  // too many programs use the interface
};

// Always kNone where there is no start-up (POSIX).
StartupError Startup();
void Cleanup();

// The local host entry: this machine's name and addresses, in the order that address indexes
// count (from 1).
bool LocalHostEntry(HostEntry& entry);
// For tests only, which need a machine of known addresses: replaces where LocalHostEntry answers
// from (an empty function restores the platform's answer). The programs never call it; a front
// end that serves one address says so in ServerOptions.
void SetLocalHostEntrySource(std::function<bool(HostEntry&)> source);
bool PlatformLocalHostEntry(HostEntry& entry);

// A datagram socket whose receives report nothing about earlier sends (Winsock would otherwise
// fail the next receive with WSAECONNRESET after a reply met a closed client port).
SocketHandle OpenDatagram();
SocketHandle OpenStream();
bool Bind(SocketHandle socket, uint32_t address, uint16_t port);
bool Listen(SocketHandle socket, int backlog);
// The port a socket is bound to (useful after binding port 0), or 0.
uint16_t LocalPort(SocketHandle socket);
// The accepted connection sends at once (no Nagle delay), and a send that makes no progress
// for kSendTimeoutMs fails, so that a client that stops reading costs only its own connection.
constexpr uint32_t kSendTimeoutMs = 5000;
SocketHandle Accept(SocketHandle socket, SocketAddress* peer);
// Bytes received; 0 or less on orderly close, on error, and once the socket has been shut down.
int Receive(SocketHandle socket, void* buffer, uint32_t size);
int ReceiveFrom(SocketHandle socket, void* buffer, uint32_t size, SocketAddress* from);
// Sends the whole buffer.
SendError Send(SocketHandle socket, const void* data, uint32_t size);
SendError SendTo(SocketHandle socket, const void* data, uint32_t size, const SocketAddress& to);

// Ending a socket takes two steps so that no thread can ever use a number the system has
// already handed to another socket: Shutdown makes every call blocked on the socket return (and
// every later call fail at once); the owner then joins its threads and calls Close, which
// releases the socket. Where only releasing a socket wakes its threads (Winsock), Shutdown
// releases it and Close has nothing left to do. Every socket goes through both, in this order.
void Shutdown(SocketHandle socket);
void Close(SocketHandle socket);

// Client side, for the tools and tests that talk to the server.
bool Connect(SocketHandle socket, uint32_t address, uint16_t port);
// Bounds every later receive on the socket to `milliseconds`.
bool SetReceiveTimeout(SocketHandle socket, uint32_t milliseconds);
// Ends the sending direction only: the peer sees the end of the stream (FIN).
void ShutdownSending(SocketHandle socket);

std::string AddressText(uint32_t address);

}  // namespace net
