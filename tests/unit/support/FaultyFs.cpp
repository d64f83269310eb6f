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

    hostfs::Transfer ReadAt(uint64_t offset, void* buffer, uint32_t count) override {
        HostError error = m_fs.Strikes(Fault::kReadAt, m_path);
        if (error != HostError::kNone) return {0, error};
        return m_inner->ReadAt(offset, buffer, count);
    }

    hostfs::Transfer WriteAt(uint64_t offset, const void* data, uint32_t count) override {
        HostError error = m_fs.Strikes(Fault::kWriteAt, m_path);
        if (error != HostError::kNone) return {0, error};
        error = m_fs.Strikes(Fault::kShortWrite, m_path);
        if (error == HostError::kNone) return m_inner->WriteAt(offset, data, count);
        hostfs::Transfer half = m_inner->WriteAt(offset, data, count / 2);
        half.error = error;
        return half;
    }

    HostError Flush() override {
        HostError error = m_fs.Strikes(Fault::kFlush, m_path);
        return error != HostError::kNone ? error : m_inner->Flush();
    }

  private:
    FaultyFs& m_fs;
    const std::string m_path;
    std::unique_ptr<hostfs::IHostFile> m_inner;
};

// A listing through FaultyFs; fails where kListNext strikes one of its names.
class FaultyListing final : public hostfs::IListing {
  public:
    FaultyListing(FaultyFs& fs, std::unique_ptr<hostfs::IListing> inner)
        : m_fs(fs), m_inner(std::move(inner)) {}

    bool Next(std::string& name) override {
        if (m_error != HostError::kNone || !m_inner->Next(name)) return false;
        m_error = m_fs.Strikes(Fault::kListNext, name);
        return m_error == HostError::kNone;
    }
    HostError Error() const override {
        return m_error != HostError::kNone ? m_error : m_inner->Error();
    }
    bool MayLeadElsewhere() const override { return m_inner->MayLeadElsewhere(); }

  private:
    FaultyFs& m_fs;
    std::unique_ptr<hostfs::IListing> m_inner;
    HostError m_error = HostError::kNone;
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

void FaultyFs::Fail(Fault fault, const std::string& pathPart, HostError error) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_faults[fault] = {pathPart, error};
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

HostError FaultyFs::Strikes(Fault fault, std::string_view path) {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        hook = m_hook;
    }
    if (hook) hook();
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_calls[fault];
    auto it = m_faults.find(fault);
    if (it == m_faults.end() || path.find(it->second.first) == std::string_view::npos) {
        return HostError::kNone;
    }
    ++m_hits[fault];
    return it->second.second;
}

namespace {

bool Struck(HostError error) {
    return error != HostError::kNone;
}

}  // namespace

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
    return !Struck(Strikes(Fault::kRealLocation, path)) && m_inner.RealLocation(path, real);
}

bool FaultyFs::ResolveFolder(PathView folder, hostfs::ResolvedFolder& resolved) {
    return !Struck(Strikes(Fault::kRealLocation, folder)) &&
           m_inner.ResolveFolder(folder, resolved);
}

bool FaultyFs::RealLocationBelow(PathView path, size_t folderLength,
                                 const hostfs::ResolvedFolder& folder, PathText& real) {
    return !Struck(Strikes(Fault::kRealLocation, path)) &&
           m_inner.RealLocationBelow(path, folderLength, folder, real);
}

bool FaultyFs::FindStoredName(PathView path, PathText& name) {
    return !Struck(Strikes(Fault::kFindStoredName, path)) && m_inner.FindStoredName(path, name);
}

std::unique_ptr<hostfs::IListing> FaultyFs::List(PathView folder) {
    if (Struck(Strikes(Fault::kList, folder))) return nullptr;
    std::unique_ptr<hostfs::IListing> listing = m_inner.List(folder);
    if (listing == nullptr) return nullptr;
    return std::make_unique<FaultyListing>(*this, std::move(listing));
}

void FaultyFs::Freeze(hostfs::FileStatus& status) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_frozen || status.kind != hostfs::FileKind::kDirectory) return;
    status.atime = status.mtime = status.ctime = *m_frozen;
    status.size = 0;
    status.links = 1;
}

HostError FaultyFs::Status(PathView path, hostfs::FileStatus& status) {
    HostError error = Strikes(Fault::kStatus, path);
    if (!Struck(error)) error = m_inner.Status(path, status);
    if (!Struck(error)) Freeze(status);
    return error;
}

hostfs::Presence FaultyFs::FindWithStatus(PathView path, PathText& name,
                                          hostfs::FileStatus& status) {
    using hostfs::Presence;
    if (Struck(Strikes(Fault::kFindStoredName, path))) return Presence::kNone;
    Presence presence = m_inner.FindWithStatus(path, name, status);
    if (presence != Presence::kWithStatus) return presence;
    if (Struck(Strikes(Fault::kStatus, path))) return Presence::kNameOnly;
    Freeze(status);
    return presence;
}

HostError FaultyFs::Open(PathView path, OpenMode mode, bool exclusive,
                         std::unique_ptr<hostfs::IHostFile>& file) {
    HostError error = Strikes(OpenFault(mode), path);
    std::unique_ptr<hostfs::IHostFile> inner;
    if (!Struck(error)) error = m_inner.Open(path, mode, exclusive, inner);
    if (!Struck(error)) {
        file = std::make_unique<FaultyFile>(*this, std::string(path.view()), std::move(inner));
    }
    return error;
}

HostError FaultyFs::SetPermissions(PathView path, bool readable, bool writable) {
    HostError error = Strikes(Fault::kSetPermissions, path);
    return Struck(error) ? error : m_inner.SetPermissions(path, readable, writable);
}

HostError FaultyFs::SetSize(PathView path, uint64_t size) {
    HostError error = Strikes(Fault::kSetSize, path);
    return Struck(error) ? error : m_inner.SetSize(path, size);
}

namespace {

// 1980-01-01 00:00 UTC, the first moment FAT can store.
constexpr int64_t kFatEpoch = 315532800;

bool BeforeFat(const int64_t* seconds) {
    return seconds != nullptr && *seconds < kFatEpoch;
}

}  // namespace

HostError FaultyFs::SetTimes(PathView path, const int64_t* atime, const int64_t* mtime) {
    HostError error = Strikes(Fault::kSetTimes, path);
    if (!Struck(error) && (BeforeFat(atime) || BeforeFat(mtime))) {
        error = Strikes(Fault::kTimesBefore1980, path);
    }
    return Struck(error) ? error : m_inner.SetTimes(path, atime, mtime);
}

HostError FaultyFs::MakeFolder(PathView path) {
    HostError error = Strikes(Fault::kMakeFolder, path);
    return Struck(error) ? error : m_inner.MakeFolder(path);
}

HostError FaultyFs::RemoveFolder(PathView path) {
    HostError error = Strikes(Fault::kRemoveFolder, path);
    return Struck(error) ? error : m_inner.RemoveFolder(path);
}

HostError FaultyFs::RemoveFile(PathView path) {
    HostError error = Strikes(Fault::kRemoveFile, path);
    return Struck(error) ? error : m_inner.RemoveFile(path);
}

HostError FaultyFs::Move(PathView from, PathView to) {
    HostError error = Strikes(Fault::kMove, from);
    return Struck(error) ? error : m_inner.Move(from, to);
}

HostError FaultyFs::FreeSpace(PathView path, hostfs::DiskSpace& space) {
    HostError error = Strikes(Fault::kFreeSpace, path);
    return Struck(error) ? error : m_inner.FreeSpace(path, space);
}
