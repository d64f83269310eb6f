#include "SocketApi.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace net {

namespace {
std::mutex g_hostSourceLock;
std::function<bool(HostEntry&)> g_hostSource;
}  // namespace

bool LocalHostEntry(HostEntry& entry) {
    std::function<bool(HostEntry&)> source;
    {
        std::lock_guard<std::mutex> lock(g_hostSourceLock);
        source = g_hostSource;
    }
    return source ? source(entry) : PlatformLocalHostEntry(entry);
}

void SetLocalHostEntrySource(std::function<bool(HostEntry&)> source) {
    std::lock_guard<std::mutex> lock(g_hostSourceLock);
    g_hostSource = std::move(source);
}

std::string AddressText(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF,
                  (address >> 8) & 0xFF, address & 0xFF);
    return text;
}

}  // namespace net
