#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <limits>
#include <string_view>
#include <utility>

#include "HostFs.h"

namespace hostfs {

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
// 1601-01-01 (the FILETIME epoch) to 1970-01-01 in 100 ns ticks.
constexpr int64_t kUnixEpochTicks = 116444736000000000;
constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<LONGLONG>::max());

struct CloseFile {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct CloseFind {
    void operator()(HANDLE handle) const { FindClose(handle); }
};

// Owns a handle. CreateFileA and FindFirstFileA both report failure as INVALID_HANDLE_VALUE,
// so that is the empty one; the two differ only in how the handle is released.
template <typename Closer>
class Owned {
  public:
    explicit Owned(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    Owned(Owned&& other) noexcept : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE)) {}
    Owned& operator=(Owned&&) = delete;
    ~Owned() {
        if (Valid()) Closer()(m_handle);
    }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

  private:
    HANDLE m_handle;
};

using FileHandle = Owned<CloseFile>;
using FindHandle = Owned<CloseFind>;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

FileHandle OpenExisting(const std::string& path, DWORD access, DWORD flags) {
    return FileHandle(CreateFileA(path.c_str(), access, kShareAll | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, flags, nullptr));
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Positioned through OVERLAPPED offsets on a synchronous handle: one call, no shared file
// pointer to move first.
int64_t ReadAt(const FileHandle& file, uint64_t offset, void* buffer, uint32_t count) {
    if (offset > kMaxOffset - count) return 0;
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    if (ReadFile(file.Get(), buffer, count, &done, &at)) return done;
    // With an offset given, a read at or past the end fails with this instead of answering
    // 0 bytes.
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

int64_t WriteAt(const FileHandle& file, uint64_t offset, const void* data, uint32_t count) {
    if (offset > kMaxOffset - count) return -1;
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    if (!WriteFile(file.Get(), data, count, &done, &at)) {
        return done > 0 ? static_cast<int64_t>(done) : -1;
    }
    return done;
}

class Win32File final : public IHostFile {
  public:
    explicit Win32File(FileHandle handle) : m_handle(std::move(handle)) {}

    int64_t ReadAt(uint64_t offset, void* buffer, uint32_t count) override {
        return hostfs::ReadAt(m_handle, offset, buffer, count);
    }

    int64_t WriteAt(uint64_t offset, const void* data, uint32_t count) override {
        return hostfs::WriteAt(m_handle, offset, data, count);
    }

    bool Flush() override { return FlushFileBuffers(m_handle.Get()) != 0; }

  private:
    FileHandle m_handle;
};

// Holds the entry that FindFirstFileA already returned until Next asks for it.
class FindListing final : public IListing {
  public:
    FindListing() = default;
    FindListing(FindHandle find, const WIN32_FIND_DATAA& first)
        : m_find(std::move(find)), m_data(first), m_pending(true) {}

    bool Next(std::string& name) override {
        if (!m_pending) return false;
        name = m_data.cFileName;
        m_attributes = m_data.dwFileAttributes;
        m_pending = FindNextFileA(m_find.Get(), &m_data) != 0;
        return true;
    }

    // Junctions and symbolic links are reparse points.
    bool MayLeadElsewhere() const override {
        return (m_attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }

  private:
    FindHandle m_find;
    WIN32_FIND_DATAA m_data{};
    DWORD m_attributes = 0;
    bool m_pending = false;
};

int64_t UnixSeconds(const FILETIME& time) {
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    int64_t since = static_cast<int64_t>(ticks) - kUnixEpochTicks;
    // Whole seconds round down, also before 1970.
    return since >= 0 ? since / kTicksPerSecond
                      : -((-since + kTicksPerSecond - 1) / kTicksPerSecond);
}

bool ToFileTime(int64_t seconds, FILETIME& time) {
    constexpr int64_t kFirst = -kUnixEpochTicks / kTicksPerSecond;
    constexpr int64_t kLast =
        (std::numeric_limits<int64_t>::max() - kUnixEpochTicks) / kTicksPerSecond;
    if (seconds < kFirst || seconds > kLast) return false;
    auto ticks = static_cast<uint64_t>(seconds * kTicksPerSecond + kUnixEpochTicks);
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

HostError ErrorOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return HostError::kNotFound;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return HostError::kExists;
        case ERROR_DIR_NOT_EMPTY:
            return HostError::kNotEmpty;
        case ERROR_DIRECTORY:
            return HostError::kNotFolder;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return HostError::kDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return HostError::kNoSpace;
        case ERROR_FILENAME_EXCED_RANGE:
            return HostError::kNameTooLong;
        default:
            return HostError::kOther;
    }
}

// The outcome of a call that reports failure through GetLastError.
HostError Outcome(bool done) {
    return done ? HostError::kNone : ErrorOf(GetLastError());
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Windows has no execute bit; clients learn what the shell would run.
bool HasProgramSuffix(const std::string& path) {
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    for (char& c : suffix) c = AsciiLower(c);
    return suffix == ".exe" || suffix == ".bat" || suffix == ".cmd" || suffix == ".com";
}

// What Status reports from the attributes that GetFileAttributesExA gave. The link count would
// need an open, so it stays 1.
void StatusOf(const WIN32_FILE_ATTRIBUTE_DATA& data, const std::string& path, FileStatus& status) {
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.kind = folder ? FileKind::kDirectory : FileKind::kRegular;
    status.readable = true;
    status.writable = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
    status.executable = folder || HasProgramSuffix(path);
    status.links = 1;
    status.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.atime = UnixSeconds(data.ftLastAccessTime);
    status.mtime = UnixSeconds(data.ftLastWriteTime);
    status.ctime = UnixSeconds(data.ftCreationTime);
}

struct OpenRequest {
    DWORD access;
    DWORD disposition;
};

OpenRequest RequestFor(OpenMode mode) {
    switch (mode) {
        case OpenMode::kReadExisting:
            return {GENERIC_READ, OPEN_EXISTING};
        case OpenMode::kWriteExisting:
            return {GENERIC_WRITE, OPEN_EXISTING};
        case OpenMode::kCreateAlways:
            return {GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS};
    }
    return {GENERIC_READ, OPEN_EXISTING};
}

// Without backup semantics CreateFileA refuses a folder, as the file service wants.
FileHandle OpenFile(const std::string& path, OpenMode mode, bool exclusive) {
    const OpenRequest request = RequestFor(mode);
    return FileHandle(CreateFileA(path.c_str(), request.access, exclusive ? 0 : kShareAll, nullptr,
                                  request.disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool PathStatus(const std::string& path, FileStatus& status) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    StatusOf(data, path, status);
    return true;
}

// The transfer on a file opened for it; the status is then asked of the path, the file closed.
// GetFileInformationByHandle would spare the path's search, but it also asks for the volume's
// serial number, which under Wine took the Windows build's reads from 36 to 20 MB/s.
template <typename Transfer>
TransferResult TransferOnce(const std::string& path, OpenMode mode, bool exclusive,
                            FileStatus* after, Transfer transfer) {
    TransferResult result;
    {
        FileHandle file = OpenFile(path, mode, exclusive);
        if (!file.Valid()) return result;
        result.bytes = transfer(file);
    }
    result.hasStatus = after != nullptr && PathStatus(path, *after);
    return result;
}

// The attributes SetFileAttributesA accepts; the others (folder, compressed ...) it refuses.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

class Win32Fs final : public IHostFs {
  public:
    char Separator() const override { return '\\'; }

    bool IsPlainName(const char* name, size_t length) const override {
        const std::string_view text(name, length);
        if (text.empty() || text.find_first_of(std::string_view("\\/:\0", 4)) != text.npos) {
            return false;
        }
        return text == "." || text == ".." || text.find_first_not_of(". ") != text.npos;
    }

    bool SettlesTrailingDots() const override { return true; }

    // Links and junctions are not followed here: the check stays lexical on Windows.
    bool RealLocation(const std::string& path, std::string& real) override {
        real = path;
        return true;
    }

    bool FindStoredName(const std::string& path, std::string& name) override {
        WIN32_FIND_DATAA data;
        FindHandle find(FindFirstFileA(path.c_str(), &data));
        if (!find.Valid()) return false;
        name = data.cFileName;
        return true;
    }

    std::unique_ptr<IListing> List(const std::string& folder) override {
        WIN32_FIND_DATAA data;
        FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
        if (find.Valid()) return std::make_unique<FindListing>(std::move(find), data);
        // An empty drive root has not even "." and "..": a listing with nothing in it.
        if (GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(folder)) {
            return std::make_unique<FindListing>();
        }
        return nullptr;
    }

    // From the attributes alone, without opening the file: a file another program holds
    // exclusively still has a status.
    bool Status(const std::string& path, FileStatus& status) override {
        return PathStatus(path, status);
    }

    std::unique_ptr<IHostFile> Open(const std::string& path, OpenMode mode,
                                    bool exclusive) override {
        FileHandle file = OpenFile(path, mode, exclusive);
        if (!file.Valid()) return nullptr;
        return std::make_unique<Win32File>(std::move(file));
    }

    TransferResult ReadOnce(const std::string& path, bool exclusive, uint64_t offset, void* buffer,
                            uint32_t count, FileStatus* after) override {
        return TransferOnce(
            path, OpenMode::kReadExisting, exclusive, after,
            [&](const FileHandle& file) { return ReadAt(file, offset, buffer, count); });
    }

    TransferResult WriteOnce(const std::string& path, bool exclusive, uint64_t offset,
                             const void* data, uint32_t count, FileStatus* after) override {
        return TransferOnce(
            path, OpenMode::kWriteExisting, exclusive, after,
            [&](const FileHandle& file) { return WriteAt(file, offset, data, count); });
    }

    bool FlushOnce(const std::string& path) override {
        FileHandle file = OpenFile(path, OpenMode::kWriteExisting, false);
        return file.Valid() && FlushFileBuffers(file.Get()) != 0;
    }

    // Only the read-only mark exists: a file cannot be made unreadable by attribute.
    bool SetPermissions(const std::string& path, bool, bool writable) override {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;
        attributes &= kSettableAttributes;
        attributes =
            writable ? attributes & ~FILE_ATTRIBUTE_READONLY : attributes | FILE_ATTRIBUTE_READONLY;
        // FILE_ATTRIBUTE_NORMAL is how "no attributes" is said, and only alone.
        return SetFileAttributesA(path.c_str(),
                                  attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL) != 0;
    }

    bool SetSize(const std::string& path, uint64_t size) override {
        if (size > kMaxOffset) return false;
        FileHandle file = OpenExisting(path, GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        return file.Valid() && SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) &&
               SetEndOfFile(file.Get());
    }

    // Backup semantics let the same open reach a folder's times.
    bool SetTimes(const std::string& path, const int64_t* atime, const int64_t* mtime) override {
        FILETIME access{};
        FILETIME write{};
        if (atime != nullptr && !ToFileTime(*atime, access)) return false;
        if (mtime != nullptr && !ToFileTime(*mtime, write)) return false;
        FileHandle file = OpenExisting(path, FILE_WRITE_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
        return file.Valid() && SetFileTime(file.Get(), nullptr, atime ? &access : nullptr,
                                           mtime ? &write : nullptr);
    }

    HostError MakeFolder(const std::string& path) override {
        return Outcome(CreateDirectoryA(path.c_str(), nullptr) != 0);
    }
    HostError RemoveFolder(const std::string& path) override {
        return Outcome(RemoveDirectoryA(path.c_str()) != 0);
    }
    HostError RemoveFile(const std::string& path) override {
        return Outcome(DeleteFileA(path.c_str()) != 0);
    }

    // Without MOVEFILE_REPLACE_EXISTING, MoveFileA refuses an existing target.
    HostError Move(const std::string& from, const std::string& to) override {
        return Outcome(MoveFileA(from.c_str(), to.c_str()) != 0);
    }

    // The drive is named by the path's first letter, whatever follows it.
    SpaceResult FreeSpace(const std::string& path, DiskSpace& space) override {
        if (path.empty() || !IsDriveLetter(path[0])) return SpaceResult::kNoVolume;
        const char root[] = {path[0], ':', '\\', '\0'};
        DWORD sectorsPerCluster = 0;
        DWORD bytesPerSector = 0;
        DWORD freeClusters = 0;
        DWORD totalClusters = 0;
        if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                               &totalClusters)) {
            return SpaceResult::kFailed;
        }
        space = DiskSpace{};
        space.sectorsPerCluster = sectorsPerCluster;
        space.bytesPerSector = bytesPerSector;
        space.freeClusters = freeClusters;
        space.totalClusters = totalClusters;
        return SpaceResult::kOk;
    }

    // Find-first answers with the stored name and the attributes together.
    // The stored name comes from the folder's entry, the status from the file itself: NTFS
    // updates a folder entry's size and times lazily, so a file another program is still
    // writing would otherwise report old figures.
    Presence FindWithStatus(const std::string& path, std::string& name,
                            FileStatus& status) override {
        if (!FindStoredName(path, name)) return Presence::kNone;
        return Status(path, status) ? Presence::kWithStatus : Presence::kNameOnly;
    }

  private:
    static bool IsFolder(const std::string& path) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
};

}  // namespace

IHostFs& PlatformFs() {
    static Win32Fs fs;
    return fs;
}

}  // namespace hostfs
