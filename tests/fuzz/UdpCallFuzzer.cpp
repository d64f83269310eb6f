#include <algorithm>
#include <cstring>

#include "FuzzServer.h"
#include "Socket.h"

// One datagram, as the UDP receive thread hands it on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServer& server = FuzzServer::Get();
    server.BeginInput();
    CSocket& connection = server.Udp();
    uint32_t length = static_cast<uint32_t>(std::min<size_t>(size, connection.ReceiveSpaceSize()));
    if (length > 0) std::memcpy(connection.ReceiveSpace(), data, length);
    connection.TakeReceived(length);
    return 0;
}
