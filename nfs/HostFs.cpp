#include "HostFs.h"

#include <atomic>

namespace hostfs {

namespace {
// Atomic: a test puts its own in front while server threads may be reading it.
std::atomic<IHostFs*> g_override{nullptr};

// Through Open and the path's status, so that a file system that only wraps Open (a test's
// fault injection) sees every transfer.
template <typename Transfer>
TransferResult TransferOnce(IHostFs& fs, PathView path, OpenMode mode, bool exclusive,
                            FileStatus* after, Transfer transfer) {
    TransferResult result;
    std::unique_ptr<IHostFile> file = fs.Open(path, mode, exclusive);
    if (file == nullptr) return result;
    result.bytes = transfer(*file);
    result.hasStatus = after != nullptr && fs.Status(path, *after);
    return result;
}

}  // namespace

bool IHostFs::ResolveFolder(PathView folder, ResolvedFolder& resolved) {
    resolved = ResolvedFolder{};
    PathText real;
    if (!RealLocation(folder, real)) return false;
    resolved.real.assign(real.view());
    return true;
}

bool IHostFs::RealLocationBelow(PathView path, size_t, const ResolvedFolder&, PathText& real) {
    return RealLocation(path, real);
}

TransferResult IHostFs::ReadOnce(PathView path, bool exclusive, uint64_t offset, void* buffer,
                                 uint32_t count, FileStatus* after) {
    return TransferOnce(*this, path, OpenMode::kReadExisting, exclusive, after,
                        [&](IHostFile& file) { return file.ReadAt(offset, buffer, count); });
}

TransferResult IHostFs::WriteOnce(PathView path, bool exclusive, uint64_t offset, const void* data,
                                  uint32_t count, FileStatus* after) {
    return TransferOnce(*this, path, OpenMode::kWriteExisting, exclusive, after,
                        [&](IHostFile& file) { return file.WriteAt(offset, data, count); });
}

bool IHostFs::FlushOnce(PathView path) {
    std::unique_ptr<IHostFile> file = Open(path, OpenMode::kWriteExisting, false);
    return file != nullptr && file->Flush();
}

std::string IHostFs::ServedPath(PathView folder) {
    return std::string(folder.view());
}

IHostFs& Fs() {
    IHostFs* fs = g_override.load();
    return fs != nullptr ? *fs : PlatformFs();
}

void SetFs(IHostFs* fs) {
    g_override.store(fs);
}

}  // namespace hostfs
