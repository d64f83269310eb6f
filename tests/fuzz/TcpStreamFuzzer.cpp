#include <algorithm>
#include <cstring>

#include "FuzzServer.h"
#include "Socket.h"

namespace {

// The receive lengths come from the input itself (FNV-1a of its bytes seeds them), so the same
// input is always cut the same way while the seeds stay plain record streams.
class Cuts {
  public:
    Cuts(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size; ++i) m_state = (m_state ^ data[i]) * 0x100000001B3ull;
    }
    // Mostly short receives, now and then whatever is left.
    size_t Next(size_t left) {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        const size_t limits[] = {1, 4, 16, 64, 1024, left};
        size_t limit = std::min(left, limits[(m_state >> 33) % 6]);
        return 1 + (m_state >> 40) % limit;
    }

  private:
    uint64_t m_state = 0xCBF29CE484222325ull;
};

}  // namespace

// A TCP byte stream, cut into receives at points of the input's own choosing.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServer& server = FuzzServer::Get();
    std::vector<uint8_t> input = server.BeginInput(data, size);
    CSocket& connection = server.Tcp();
    Cuts cuts(data, size);
    size_t offset = 0;
    while (offset < size) {
        size_t chunk = std::min<size_t>(cuts.Next(size - offset), connection.ReceiveSpaceSize());
        std::memcpy(connection.ReceiveSpace(), input.data() + offset, chunk);
        offset += chunk;
        if (!connection.TakeReceived(static_cast<uint32_t>(chunk))) break;
    }
    return 0;
}
