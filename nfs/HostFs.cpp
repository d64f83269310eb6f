#include "HostFs.h"

#include <atomic>

namespace hostfs {

namespace {
// Atomic: a test puts its own in front while server threads may be reading it.
std::atomic<IHostFs*> g_override{nullptr};

// Through Open and the path's status, so that a file system that only wraps Open (a test's
// fault injection) sees every transfer.
template <typename Move>
TransferResult TransferOnce(IHostFs& fs, PathView path, OpenMode mode, bool exclusive,
                            FileStatus* after, Move move) {
    TransferResult result;
    std::unique_ptr<IHostFile> file;
    result.error = fs.Open(path, mode, exclusive, file);
    if (result.error != HostError::kNone) return result;
    static_cast<Transfer&>(result) = move(*file);
    result.hasStatus = after != nullptr && fs.Status(path, *after) == HostError::kNone;
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

HostError IHostFs::FlushOnce(PathView path) {
    std::unique_ptr<IHostFile> file;
    HostError error = Open(path, OpenMode::kWriteExisting, false, file);
    return error != HostError::kNone ? error : file->Flush();
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
