#include "Loopback.h"

#include <algorithm>
#include <chrono>
#include <random>

ClientSocket::ClientSocket(net::SocketHandle socket) : m_socket(socket) {
    if (Valid()) net::SetReceiveTimeout(m_socket, kReplyTimeoutMs);
}

ClientSocket::ClientSocket(ClientSocket&& other) noexcept : m_socket(other.m_socket) {
    other.m_socket = net::kNoSocket;
}

ClientSocket::~ClientSocket() {
    if (!Valid()) return;
    net::Shutdown(m_socket);
    net::Close(m_socket);
}

ClientSocket ClientSocket::Udp() {
    return ClientSocket(net::OpenDatagram());
}

ClientSocket ClientSocket::Tcp(uint16_t port) {
    net::SocketHandle socket = net::OpenStream();
    if (socket != net::kNoSocket && !net::Connect(socket, kLoopback, port)) {
        net::Shutdown(socket);
        net::Close(socket);
        socket = net::kNoSocket;
    }
    return ClientSocket(socket);
}

bool ClientSocket::Send(const std::vector<uint8_t>& bytes) {
    return net::Send(m_socket, bytes.data(), uint32_t(bytes.size())) == net::SendError::kNone;
}

bool ClientSocket::SendTo(uint16_t port, const std::vector<uint8_t>& bytes) {
    net::SocketAddress to{kLoopback, port};
    return net::SendTo(m_socket, bytes.data(), uint32_t(bytes.size()), to) == net::SendError::kNone;
}

std::optional<std::vector<uint8_t>> ClientSocket::ReceiveDatagram() {
    std::vector<uint8_t> buffer(65536);
    net::SocketAddress from;
    int n = net::ReceiveFrom(m_socket, buffer.data(), uint32_t(buffer.size()), &from);
    if (n <= 0) return std::nullopt;
    buffer.resize(size_t(n));
    return buffer;
}

bool ClientSocket::ReceiveExactly(uint8_t* buffer, uint32_t size) {
    while (size > 0) {
        int n = net::Receive(m_socket, buffer, size);
        if (n <= 0) return false;
        buffer += n;
        size -= uint32_t(n);
    }
    return true;
}

std::optional<std::vector<uint8_t>> ClientSocket::ReceiveRecord() {
    std::vector<uint8_t> record(4);
    if (!ReceiveExactly(record.data(), 4)) return std::nullopt;
    uint32_t mark = (uint32_t(record[0]) << 24) | (uint32_t(record[1]) << 16) |
                    (uint32_t(record[2]) << 8) | record[3];
    record.resize(4 + (mark & 0x7FFFFFFF));
    if (!ReceiveExactly(record.data() + 4, mark & 0x7FFFFFFF)) return std::nullopt;
    return record;
}

// A receive that ends by the time-out takes the whole kReplyTimeoutMs; one that ends because
// the server closed returns at once. Telling them apart by the clock keeps this portable.
bool ClientSocket::WaitForClose() {
    auto start = std::chrono::steady_clock::now();
    uint8_t byte;
    int n = net::Receive(m_socket, &byte, 1);
    auto waited = std::chrono::steady_clock::now() - start;
    return n <= 0 && waited < std::chrono::milliseconds(kReplyTimeoutMs - 500);
}

// Ports come from below the systems' ephemeral ranges (from 32768 on Linux, 49152 on Windows),
// where no socket bound to port 0 and no client socket can take them between this check and
// the bind of the test that asked; tests running side by side pick at random.
uint16_t FreePort() {
    static std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pick(20000, 31999);
    for (int attempt = 0; attempt < 50; ++attempt) {
        uint16_t port = static_cast<uint16_t>(pick(random));
        net::SocketHandle tcp = net::OpenStream();
        net::SocketHandle udp = net::OpenDatagram();
        bool free = net::Bind(tcp, kLoopback, port) && net::Bind(udp, kLoopback, port);
        for (net::SocketHandle socket : {tcp, udp}) {
            net::Shutdown(socket);
            net::Close(socket);
        }
        if (free) return port;
    }
    return 0;
}

std::vector<uint16_t> FreePorts(size_t count) {
    std::vector<uint16_t> ports;
    for (int attempt = 0; attempt < 100 && ports.size() < count; ++attempt) {
        uint16_t port = FreePort();
        if (port != 0 && std::find(ports.begin(), ports.end(), port) == ports.end()) {
            ports.push_back(port);
        }
    }
    ports.resize(count, 0);
    return ports;
}
