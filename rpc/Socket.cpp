#include "Socket.h"

#include <chrono>
#include <cstring>

#include "RecordMarking.h"
#include "ShareEvents.h"
#include "SocketListener.h"

namespace {

struct SendFailureText {
    net::SendError error;
    const char* tcp;
    const char* udp;
};

const SendFailureText kSendFailureTexts[] = {
    {net::SendError::kNoMemory, "Insufficient Memory", "Insufficient Memory"},
    {net::SendError::kFault, "Unknown Error has occured", "Unknown error has occurred"},
    {net::SendError::kInvalid, "Invalid desctiptor was specified",
     "Invalid desctiptor was specified"},
    {net::SendError::kClosed, "TCP socket has closed", "UDP socket has closed"},
    {net::SendError::kInterrupted, "An error signal occurred while sending socket",
     "An error signal occurred while sending socket"},
    {net::SendError::kWouldBlock, "Cannot convert non-blocking socket to blocked",
     "Cannot convert non-blocking socket to blocked"},
};

}  // namespace

bool ChooseBindAddress(bool bindToAll, int addressIndex, uint32_t* address) {
    net::HostEntry host;
    if (!net::LocalHostEntry(host)) return false;
    *address = 0;
    if (!bindToAll && addressIndex >= 1 &&
        static_cast<size_t>(addressIndex) <= host.addresses.size()) {
        *address = host.addresses[addressIndex - 1];
    }
    return true;
}

CSocket::CSocket(int type) : m_nType(type) {}

CSocket::~CSocket() {
    Close();
}

void CSocket::Attach(net::SocketHandle socket, ISocketListener* listener,
                     const net::SocketAddress* peer) {
    Close();
    {
        std::lock_guard<std::mutex> lock(m_socketLock);
        m_socket = socket;
        m_bShutDown = false;
    }
    m_pListener = listener;
    if (peer != nullptr) m_peer = *peer;
    m_nPending = 0;
    m_bClosing = false;
    m_bSendFailed = false;
    m_bFailureReported = false;
    m_state = CallState::kWaiting;
    Touch();
    if (socket == net::kNoSocket) return;
    m_bBusy = true;
    m_thread = std::thread(&CSocket::ReceiveLoop, this);
}

void CSocket::Shutdown() {
    m_bClosing = true;
    ShutdownOnce();
}

void CSocket::Close() {
    Shutdown();
    if (m_thread.joinable()) m_thread.join();
    Release();
}

bool CSocket::Reclaim() {
    CallState waiting = CallState::kWaiting;
    if (!m_bBusy || !m_state.compare_exchange_strong(waiting, CallState::kEnding)) return false;
    Shutdown();
    return true;
}

void CSocket::ShutdownOnce() {
    std::lock_guard<std::mutex> lock(m_socketLock);
    if (m_socket == net::kNoSocket || m_bShutDown) return;
    net::Shutdown(m_socket);
    m_bShutDown = true;
}

// Run by the receive thread as it ends (and by Close for a thread that never ran): the socket is
// released at once instead of lingering half-closed until the slot is used again.
void CSocket::Release() {
    std::lock_guard<std::mutex> lock(m_socketLock);
    if (m_socket == net::kNoSocket) return;
    if (!m_bShutDown) net::Shutdown(m_socket);
    net::Close(m_socket);
    m_socket = net::kNoSocket;
}

void CSocket::Touch() {
    m_nLastActive = std::chrono::steady_clock::now().time_since_epoch().count();
}

// A TCP connection keeps its peer, and datagrams tend to come from one client after another:
// the text is made again only for another address.
void CSocket::NotePeer() {
    if (!m_peerText.empty() && m_nPeerTextAddress == m_peer.address) return;
    m_peerText = net::AddressText(m_peer.address);
    m_nPeerTextAddress = m_peer.address;
}

void CSocket::ReceiveLoop() {
    if (m_nType == kTransportUdp) {
        ReceiveDatagrams();
    } else {
        ReceiveRecords();
    }
    Release();
    m_bBusy = false;
}

// Only Close ends a UDP port: an empty datagram is no end of anything, and one failed receive
// must not silence the port for every other client. A receive error that keeps coming gets a
// short breather instead of a busy loop.
void CSocket::ReceiveDatagrams() {
    while (!m_bClosing) {
        int n = net::ReceiveFrom(m_socket, ReceiveSpace(), ReceiveSpaceSize(), &m_peer);
        if (n > 0) {
            TakeReceived(static_cast<uint32_t>(n));
        } else if (n < 0 && !m_bClosing) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

void CSocket::ReceiveRecords() {
    while (!m_bClosing) {
        int n = net::Receive(m_socket, ReceiveSpace(), ReceiveSpaceSize());
        if (n <= 0 || !TakeReceived(static_cast<uint32_t>(n))) return;
    }
}

uint8_t* CSocket::ReceiveSpace() {
    return m_stream.GetInputBuffer() + m_nPending;
}

uint32_t CSocket::ReceiveSpaceSize() const {
    return m_stream.GetInputCapacity() - m_nPending;
}

bool CSocket::TakeReceived(uint32_t size) {
    Touch();
    return m_nType == kTransportUdp ? Deliver(size) : TakeRecords(size);
}

// Bytes of a record that has not fully arrived stay at the front of the buffer and the next
// receive appends to them. Every complete record is answered, also those in front of one that
// can never fit.
bool CSocket::TakeRecords(uint32_t size) {
    uint8_t* buffer = m_stream.GetInputBuffer();
    uint32_t length = m_nPending + size;
    RecordScan scan = JoinCompleteRecords(buffer, length, m_stream.GetInputCapacity());
    if (scan.joinedLength > 0 && !Deliver(scan.joinedLength)) return false;
    if (scan.tooLong) return false;
    m_nPending = length - scan.consumed;
    std::memmove(buffer, buffer + scan.consumed, m_nPending);
    return true;
}

// A connection that was reclaimed while waiting takes no further call.
bool CSocket::Deliver(uint32_t length) {
    CallState waiting = CallState::kWaiting;
    if (!m_state.compare_exchange_strong(waiting, CallState::kInCall)) return false;
    m_stream.SetInput(length);
    NotePeer();
    if (m_pListener != nullptr) m_pListener->OnReceive(*this);
    m_state = CallState::kWaiting;
    return !m_bSendFailed;
}

// A connection without a socket (never attached) has nowhere to send: the reply is dropped. A
// failed TCP send ends the connection, so nothing more of what it sent is carried out; a
// datagram that cannot go out costs only itself.
bool CSocket::SendReply() {
    net::SendError error = net::SendError::kNone;
    if (m_socket != net::kNoSocket) {
        const uint8_t* data = m_stream.GetOutputBuffer();
        uint32_t size = m_stream.GetOutputLength();
        error = m_nType == kTransportTcp ? net::Send(m_socket, data, size)
                                         : net::SendTo(m_socket, data, size, m_peer);
    }
    m_stream.ResetOutput();
    if (error == net::SendError::kNone) return true;
    ReportSendFailure(error);
    if (m_nType == kTransportUdp) return true;
    m_bSendFailed = true;
    return false;
}

// A send that fails because the server is closing the connection says nothing, and one
// connection tells its failure once: the person at the computer must never face a flood of
// messages because one client went away.
void CSocket::ReportSendFailure(net::SendError error) {
    if (m_bClosing || m_bFailureReported) return;
    m_bFailureReported = true;
    const bool tcp = m_nType == kTransportTcp;
    const char* caption = tcp ? "TCP Socket Send Error" : "UDP Socket Send Error";
    for (const SendFailureText& text : kSendFailureTexts) {
        if (text.error == error) ShareEvents().NotifyUser(tcp ? text.tcp : text.udp, caption);
    }
    ShareEvents().NotifyUser(tcp ? "Error in sending data through TCP socket"
                                 : "Error in sending data through UDP socket",
                             caption);
}
