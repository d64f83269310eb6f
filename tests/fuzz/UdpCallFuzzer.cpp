#include <algorithm>
#include <cstring>

#include "FuzzServer.h"
#include "Socket.h"

// One datagram, as the UDP receive thread hands it on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServer& server = FuzzServer::Get();
    std::vector<uint8_t> input = server.BeginInput(data, size);
    CSocket& connection = server.Udp();
    uint32_t length =
        static_cast<uint32_t>(std::min<size_t>(input.size(), connection.ReceiveSpaceSize()));
    if (length > 0) std::memcpy(connection.ReceiveSpace(), input.data(), length);
    connection.TakeReceived(length);
    return 0;
}
