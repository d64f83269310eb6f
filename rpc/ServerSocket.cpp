#include "ServerSocket.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

CServerSocket::~CServerSocket() {
    Close();
}

bool CServerSocket::Open(bool bindToAll, int addressIndex, uint16_t port, int slots) {
    uint32_t address = 0;
    if (!ChooseBindAddress(bindToAll, addressIndex, &address)) {
        Close();
        return false;
    }
    return OpenAt(address, port, slots);
}

bool CServerSocket::OpenAt(uint32_t address, uint16_t port, int slots) {
    Close();
    if (slots < 1) return false;
    m_nMaxNum = slots;
    m_socket = net::OpenStream();
    if (m_socket == net::kNoSocket) return false;
    if (!net::Bind(m_socket, address, port) || !net::Listen(m_socket, m_nMaxNum)) {
        net::Shutdown(m_socket);
        net::Close(m_socket);
        m_socket = net::kNoSocket;
        return false;
    }
    m_nPort = net::LocalPort(m_socket);
    m_slots.clear();
    for (int i = 0; i < m_nMaxNum; ++i) m_slots.push_back(std::make_unique<CSocket>(kTransportTcp));
    m_bShutDown = false;
    m_bClosed = false;
    m_acceptThread = std::thread(&CServerSocket::AcceptLoop, this);
    return true;
}

void CServerSocket::Shutdown() {
    if (m_bShutDown.exchange(true)) return;
    net::Shutdown(m_socket);
    for (auto& slot : m_slots) slot->Shutdown();
}

void CServerSocket::Close() {
    if (m_bClosed.exchange(true)) return;
    Shutdown();
    if (m_acceptThread.joinable()) m_acceptThread.join();
    net::Close(m_socket);
    m_socket = net::kNoSocket;
    for (auto& slot : m_slots) slot.reset();
    m_slots.clear();
}

// A connection that arrives while every slot is in the middle of a call is closed at once: the
// slot count is a fixed limit, and one surplus client must not take the server down.
void CServerSocket::AcceptLoop() {
    while (!m_bShutDown) {
        net::SocketAddress peer;
        net::SocketHandle socket = net::Accept(m_socket, &peer);
        if (socket == net::kNoSocket) {
            // Close wakes us this way; anything else (out of descriptors) gets a short breather
            // instead of a busy loop.
            if (!m_bShutDown) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        CSocket* slot = FindFreeSlot();
        if (slot == nullptr) slot = ReclaimIdlestSlot();
        if (slot == nullptr || m_bShutDown) {
            net::Shutdown(socket);
            net::Close(socket);
            continue;
        }
        slot->Attach(socket, m_pListener, &peer);
    }
}

CSocket* CServerSocket::FindFreeSlot() {
    for (auto& slot : m_slots) {
        if (!slot->IsBusy()) return slot.get();
    }
    return nullptr;
}

// A connection silent for this long may make room for a newcomer on a full port; one that spoke
// more recently is taken for a live client between two calls, which a client reconnecting over
// and over must not be able to push out.
constexpr std::chrono::seconds kIdleBeforeReclaim{1};

CSocket* CServerSocket::ReclaimIdlestSlot() {
    const int64_t silentSince =
        (std::chrono::steady_clock::now() - kIdleBeforeReclaim).time_since_epoch().count();
    // The receive threads keep moving these times: the sort orders one reading of each, since a
    // comparison that changes its mind halfway through runs the sort off the end of the list.
    std::vector<std::pair<int64_t, CSocket*>> byAge;
    for (auto& slot : m_slots) byAge.emplace_back(slot->LastActive(), slot.get());
    std::stable_sort(byAge.begin(), byAge.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [lastActive, slot] : byAge) {
        if (lastActive > silentSince) break;
        if (slot->Reclaim()) return slot;
    }
    return nullptr;
}
