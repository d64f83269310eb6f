#include "FaultyFs.h"

#include <utility>

using hostfs::HostError;
using hostfs::OpenMode;

namespace {

// A file opened through FaultyFs; asks it at every call whether to fail.
class FaultyFile final : public hostfs::IHostFile {
  public:
    FaultyFile(FaultyFs& fs, std::string path, std::unique_ptr<hostfs::IHostFile> inner)
        : m_fs(fs), m_path(std::move(path)), m_inner(std::move(inner)) {}

    int64_t ReadAt(uint64_t offset, void* buffer, uint32_t count) override {
        if (m_fs.Strikes(Fault::kReadAt, m_path)) return -1;
        return m_inner->ReadAt(offset, buffer, count);
    }

    int64_t WriteAt(uint64_t offset, const void* data, uint32_t count) override {
        if (m_fs.Strikes(Fault::kWriteAt, m_path)) return -1;
        if (m_fs.Strikes(Fault::kShortWrite, m_path)) count /= 2;
        return m_inner->WriteAt(offset, data, count);
    }

    bool Flush() override { return !m_fs.Strikes(Fault::kFlush, m_path) && m_inner->Flush(); }

  private:
    FaultyFs& m_fs;
    const std::string m_path;
    std::unique_ptr<hostfs::IHostFile> m_inner;
};

Fault OpenFault(OpenMode mode) {
    switch (mode) {
        case OpenMode::kReadExisting:
            return Fault::kOpenRead;
        case OpenMode::kWriteExisting:
            return Fault::kOpenWrite;
        case OpenMode::kCreateAlways:
            return Fault::kOpenCreate;
    }
    return Fault::kOpenRead;
}

}  // namespace

FaultyFs::FaultyFs() : m_inner(hostfs::Fs()) {
    hostfs::SetFs(this);
}

FaultyFs::~FaultyFs() {
    hostfs::SetFs(&m_inner == &hostfs::PlatformFs() ? nullptr : &m_inner);
}

void FaultyFs::Fail(Fault fault, const std::string& pathPart) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_faults[fault] = pathPart;
}

void FaultyFs::Heal(Fault fault) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_faults.erase(fault);
}

int FaultyFs::Hits(Fault fault) const {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_hits.find(fault);
    return it == m_hits.end() ? 0 : it->second;
}

int FaultyFs::Calls(Fault fault) const {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_calls.find(fault);
    return it == m_calls.end() ? 0 : it->second;
}

void FaultyFs::FreezeFolderStamps(int64_t seconds) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_frozen = seconds;
}

void FaultyFs::OnEveryOperation(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_hook = std::move(hook);
}

bool FaultyFs::Strikes(Fault fault, std::string_view path) {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        hook = m_hook;
    }
    if (hook) hook();
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_calls[fault];
    auto it = m_faults.find(fault);
    if (it == m_faults.end() || path.find(it->second) == std::string_view::npos) return false;
    ++m_hits[fault];
    return true;
}

char FaultyFs::Separator() const {
    return m_inner.Separator();
}

bool FaultyFs::IsPlainName(const char* name, size_t length) const {
    return m_inner.IsPlainName(name, length);
}

bool FaultyFs::SettlesTrailingDots() const {
    return m_inner.SettlesTrailingDots();
}

bool FaultyFs::RealLocation(PathView path, PathText& real) {
    return !Strikes(Fault::kRealLocation, path) && m_inner.RealLocation(path, real);
}

bool FaultyFs::ResolveFolder(PathView folder, hostfs::ResolvedFolder& resolved) {
    return !Strikes(Fault::kRealLocation, folder) && m_inner.ResolveFolder(folder, resolved);
}

bool FaultyFs::RealLocationBelow(PathView path, size_t folderLength,
                                 const hostfs::ResolvedFolder& folder, PathText& real) {
    return !Strikes(Fault::kRealLocation, path) &&
           m_inner.RealLocationBelow(path, folderLength, folder, real);
}

bool FaultyFs::FindStoredName(PathView path, PathText& name) {
    return !Strikes(Fault::kFindStoredName, path) && m_inner.FindStoredName(path, name);
}

std::unique_ptr<hostfs::IListing> FaultyFs::List(PathView folder) {
    return Strikes(Fault::kList, folder) ? nullptr : m_inner.List(folder);
}

void FaultyFs::Freeze(hostfs::FileStatus& status) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_frozen || status.kind != hostfs::FileKind::kDirectory) return;
    status.atime = status.mtime = status.ctime = *m_frozen;
    status.size = 0;
    status.links = 1;
}

bool FaultyFs::Status(PathView path, hostfs::FileStatus& status) {
    if (Strikes(Fault::kStatus, path) || !m_inner.Status(path, status)) return false;
    Freeze(status);
    return true;
}

hostfs::Presence FaultyFs::FindWithStatus(PathView path, PathText& name,
                                          hostfs::FileStatus& status) {
    using hostfs::Presence;
    if (Strikes(Fault::kFindStoredName, path)) return Presence::kNone;
    Presence presence = m_inner.FindWithStatus(path, name, status);
    if (presence != Presence::kWithStatus) return presence;
    if (Strikes(Fault::kStatus, path)) return Presence::kNameOnly;
    Freeze(status);
    return presence;
}

std::unique_ptr<hostfs::IHostFile> FaultyFs::Open(PathView path, OpenMode mode, bool exclusive) {
    if (Strikes(OpenFault(mode), path)) return nullptr;
    std::unique_ptr<hostfs::IHostFile> file = m_inner.Open(path, mode, exclusive);
    if (file == nullptr) return nullptr;
    return std::make_unique<FaultyFile>(*this, std::string(path.view()), std::move(file));
}

bool FaultyFs::SetPermissions(PathView path, bool readable, bool writable) {
    return !Strikes(Fault::kSetPermissions, path) &&
           m_inner.SetPermissions(path, readable, writable);
}

bool FaultyFs::SetSize(PathView path, uint64_t size) {
    return !Strikes(Fault::kSetSize, path) && m_inner.SetSize(path, size);
}

namespace {

// 1980-01-01 00:00 UTC, the first moment FAT can store.
constexpr int64_t kFatEpoch = 315532800;

bool BeforeFat(const int64_t* seconds) {
    return seconds != nullptr && *seconds < kFatEpoch;
}

}  // namespace

bool FaultyFs::SetTimes(PathView path, const int64_t* atime, const int64_t* mtime) {
    if (Strikes(Fault::kSetTimes, path)) return false;
    if ((BeforeFat(atime) || BeforeFat(mtime)) && Strikes(Fault::kTimesBefore1980, path)) {
        return false;
    }
    return m_inner.SetTimes(path, atime, mtime);
}

HostError FaultyFs::MakeFolder(PathView path) {
    return Strikes(Fault::kMakeFolder, path) ? HostError::kOther : m_inner.MakeFolder(path);
}

HostError FaultyFs::RemoveFolder(PathView path) {
    return Strikes(Fault::kRemoveFolder, path) ? HostError::kOther : m_inner.RemoveFolder(path);
}

HostError FaultyFs::RemoveFile(PathView path) {
    return Strikes(Fault::kRemoveFile, path) ? HostError::kOther : m_inner.RemoveFile(path);
}

HostError FaultyFs::Move(PathView from, PathView to) {
    return Strikes(Fault::kMove, from) ? HostError::kOther : m_inner.Move(from, to);
}

hostfs::SpaceResult FaultyFs::FreeSpace(PathView path, hostfs::DiskSpace& space) {
    if (Strikes(Fault::kFreeSpace, path)) return hostfs::SpaceResult::kFailed;
    return m_inner.FreeSpace(path, space);
}
