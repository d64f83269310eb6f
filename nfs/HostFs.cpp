#include "HostFs.h"

#include <atomic>

namespace hostfs {

namespace {
// Atomic: a test puts its own in front while server threads may be reading it.
std::atomic<IHostFs*> g_override{nullptr};
}  // namespace

IHostFs& Fs() {
    IHostFs* fs = g_override.load();
    return fs != nullptr ? *fs : PlatformFs();
}

void SetFs(IHostFs* fs) {
    g_override.store(fs);
}

}  // namespace hostfs
