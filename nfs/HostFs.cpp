#include "HostFs.h"

#include <atomic>

namespace hostfs {

namespace {
// Atomic: a test puts its own in front while server threads may be reading it.
std::atomic<IHostFs*> g_override{nullptr};
}  // namespace

bool IHostFs::ResolveFolder(const std::string& folder, ResolvedFolder& resolved) {
    resolved = ResolvedFolder{};
    return RealLocation(folder, resolved.real);
}

bool IHostFs::RealLocationBelow(const std::string& path, size_t, const ResolvedFolder&,
                                std::string& real) {
    return RealLocation(path, real);
}

IHostFs& Fs() {
    IHostFs* fs = g_override.load();
    return fs != nullptr ? *fs : PlatformFs();
}

void SetFs(IHostFs* fs) {
    g_override.store(fs);
}

}  // namespace hostfs
