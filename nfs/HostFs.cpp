#include "HostFs.h"

#include <atomic>

namespace hostfs {

namespace {
// Atomic: a test puts its own in front while server threads may be reading it.
std::atomic<IHostFs*> g_override{nullptr};

// Through Open and the path's status, so that a file system that only wraps Open (a test's
// fault injection) sees every transfer.
template <typename Transfer>
TransferResult TransferOnce(IHostFs& fs, const std::string& path, OpenMode mode, bool exclusive,
                            FileStatus* after, Transfer transfer) {
    TransferResult result;
    std::unique_ptr<IHostFile> file = fs.Open(path, mode, exclusive);
    if (file == nullptr) return result;
    result.bytes = transfer(*file);
    result.hasStatus = after != nullptr && fs.Status(path, *after);
    return result;
}

}  // namespace

bool IHostFs::ResolveFolder(const std::string& folder, ResolvedFolder& resolved) {
    resolved = ResolvedFolder{};
    return RealLocation(folder, resolved.real);
}

bool IHostFs::RealLocationBelow(const std::string& path, size_t, const ResolvedFolder&,
                                std::string& real) {
    return RealLocation(path, real);
}

TransferResult IHostFs::ReadOnce(const std::string& path, bool exclusive, uint64_t offset,
                                 void* buffer, uint32_t count, FileStatus* after) {
    return TransferOnce(*this, path, OpenMode::kReadExisting, exclusive, after,
                        [&](IHostFile& file) { return file.ReadAt(offset, buffer, count); });
}

TransferResult IHostFs::WriteOnce(const std::string& path, bool exclusive, uint64_t offset,
                                  const void* data, uint32_t count, FileStatus* after) {
    return TransferOnce(*this, path, OpenMode::kWriteExisting, exclusive, after,
                        [&](IHostFile& file) { return file.WriteAt(offset, data, count); });
}

bool IHostFs::FlushOnce(const std::string& path) {
    std::unique_ptr<IHostFile> file = Open(path, OpenMode::kWriteExisting, false);
    return file != nullptr && file->Flush();
}

std::string IHostFs::ServedPath(const std::string& folder) {
    return folder;
}

IHostFs& Fs() {
    IHostFs* fs = g_override.load();
    return fs != nullptr ? *fs : PlatformFs();
}

void SetFs(IHostFs* fs) {
    g_override.store(fs);
}

}  // namespace hostfs
