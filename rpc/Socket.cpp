#include "Socket.h"

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
    m_socket = socket;
    m_pListener = listener;
    if (peer != nullptr) m_peer = *peer;
    if (socket == net::kNoSocket) return;
    m_bShutDown = false;
    m_bBusy = true;
    m_thread = std::thread(&CSocket::ReceiveLoop, this);
}

void CSocket::Close() {
    ShutdownOnce();
    if (m_thread.joinable()) m_thread.join();
    if (m_socket != net::kNoSocket) {
        net::Close(m_socket);
        m_socket = net::kNoSocket;
    }
}

// Both the owner (Close) and the receive thread (a record that can never fit) may end the
// connection; the exchange lets exactly one of them do it.
void CSocket::ShutdownOnce() {
    if (m_socket != net::kNoSocket && !m_bShutDown.exchange(true)) net::Shutdown(m_socket);
}

std::string CSocket::GetPeerAddressText() const {
    return net::AddressText(m_peer.address);
}

void CSocket::ReceiveLoop() {
    if (m_nType == kTransportUdp) {
        ReceiveDatagrams();
    } else {
        ReceiveRecords();
    }
    m_bBusy = false;
}

void CSocket::ReceiveDatagrams() {
    for (;;) {
        int n = net::ReceiveFrom(m_socket, m_stream.GetInputBuffer(), m_stream.GetInputCapacity(),
                                 &m_peer);
        if (n <= 0) return;
        Deliver(static_cast<uint32_t>(n));
    }
}

// Bytes of a record that has not fully arrived stay at the front of the buffer and the next
// receive appends to them.
void CSocket::ReceiveRecords() {
    uint8_t* buffer = m_stream.GetInputBuffer();
    const uint32_t capacity = m_stream.GetInputCapacity();
    uint32_t pending = 0;
    for (;;) {
        int n = net::Receive(m_socket, buffer + pending, capacity - pending);
        if (n <= 0) return;
        uint32_t length = pending + static_cast<uint32_t>(n);
        RecordScan scan = JoinCompleteRecords(buffer, length, capacity);
        if (scan.joinedLength > 0) Deliver(scan.joinedLength);
        if (scan.tooLong) {
            ShutdownOnce();
            return;
        }
        pending = length - scan.consumed;
        std::memmove(buffer, buffer + scan.consumed, pending);
    }
}

void CSocket::Deliver(uint32_t length) {
    m_stream.SetInput(length);
    if (m_pListener != nullptr) m_pListener->OnReceive(*this);
}

void CSocket::SendReply() {
    if (m_socket == net::kNoSocket) return;
    const uint8_t* data = m_stream.GetOutputBuffer();
    uint32_t size = m_stream.GetOutputLength();
    net::SendError error = m_nType == kTransportTcp ? net::Send(m_socket, data, size)
                                                    : net::SendTo(m_socket, data, size, m_peer);
    if (error != net::SendError::kNone) ReportSendFailure(error);
    m_stream.ResetOutput();
}

void CSocket::ReportSendFailure(net::SendError error) {
    const bool tcp = m_nType == kTransportTcp;
    const char* caption = tcp ? "TCP Socket Send Error" : "UDP Socket Send Error";
    for (const SendFailureText& text : kSendFailureTexts) {
        if (text.error == error) ShareEvents().NotifyUser(tcp ? text.tcp : text.udp, caption);
    }
    ShareEvents().NotifyUser(tcp ? "Error in sending data through TCP socket"
                                 : "Error in sending data through UDP socket",
                             caption);
}
