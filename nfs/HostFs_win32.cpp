#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <limits>
#include <string_view>
#include <utility>

#include "HostFs.h"
#include "WireNames.h"

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

// Owns a handle. CreateFileW and FindFirstFileW both report failure as INVALID_HANDLE_VALUE,
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

void AppendUtf8(std::string& text, uint32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
        return;
    }
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(kLead[tail] | (c >> (6 * tail)));
    for (int i = tail - 1; i >= 0; --i) text += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
}

bool IsHighSurrogate(uint32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}

bool IsLowSurrogate(uint32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

// A host name in the spelling the name rules share with POSIX. NTFS takes any sequence of
// 16-bit units for a name, lone surrogates included; those go as WTF-8 does, so that every name
// comes back as it was.
std::string Utf8Of(const wchar_t* text) {
    std::string utf8;
    for (size_t i = 0; text[i] != L'\0'; ++i) {
        uint32_t c = static_cast<uint16_t>(text[i]);
        const uint32_t next = static_cast<uint16_t>(text[i + 1]);
        if (IsHighSurrogate(c) && IsLowSurrogate(next)) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        }
        AppendUtf8(utf8, c);
    }
    return utf8;
}

// The character at `at` and its length; a byte that starts no sequence stands for U+FFFD.
uint32_t DecodeUtf8(std::string_view text, size_t at, size_t& length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 1 || at + length > text.size()) {
        length = 1;
        return lead < 0x80 ? lead : 0xFFFD;
    }
    uint32_t c = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if ((byte & 0xC0) != 0x80) {
            length = 1;
            return 0xFFFD;
        }
        c = (c << 6) | (byte & 0x3F);
    }
    return c;
}

std::wstring WideOf(std::string_view utf8) {
    std::wstring wide;
    size_t length = 0;
    for (size_t at = 0; at < utf8.size(); at += length) {
        const uint32_t c = DecodeUtf8(utf8, at, length);
        if (c < 0x10000) {
            wide += static_cast<wchar_t>(c);
        } else {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return wide;
}

// Text in the system's ANSI code page; false where it lacks a character. Best-fit mappings
// (é as e) are no representation: the name would lead to another file. A UTF-8 code page takes
// neither the flag nor the question.
bool ToCodePage(const std::wstring& wide, std::string& text) {
    text.clear();
    if (wide.empty()) return true;
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* const askDefaulted = utf8 ? nullptr : &defaulted;
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, askDefaulted);
    if (size <= 0 || defaulted) return false;
    text.resize(size);
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, text.data(), size, nullptr, nullptr);
    return true;
}

// False where the bytes are no text in the code page.
bool FromCodePage(std::string_view text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    const int length = static_cast<int>(text.size());
    const int size =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0) return false;
    wide.resize(size);
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), size);
    return true;
}

HostError ErrorOf(DWORD error);
HostError Outcome(bool done);

// The entries of one folder as find-first and find-next give them, holding the entry that
// FindFirstFileW returned until Next asks for it.
class FindWalk final : public IHostWalk {
  public:
    FindWalk() = default;
    FindWalk(FindHandle find, const WIN32_FIND_DATAW& first)
        : m_find(std::move(find)), m_data(first), m_pending(true) {}

    // Junctions and symbolic links are reparse points. Find-next tells the end of the folder
    // by ERROR_NO_MORE_FILES; any other error ends the walk before it.
    bool Next(HostEntry& entry) override {
        if (!m_pending) return false;
        entry.name = Utf8Of(m_data.cFileName);
        entry.shortName = Utf8Of(m_data.cAlternateFileName);
        entry.mayLeadElsewhere = (m_data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        m_pending = FindNextFileW(m_find.Get(), &m_data) != 0;
        if (!m_pending && GetLastError() != ERROR_NO_MORE_FILES) m_error = ErrorOf(GetLastError());
        return true;
    }

    HostError Error() const override { return m_error; }

  private:
    FindHandle m_find;
    WIN32_FIND_DATAW m_data{};
    bool m_pending = false;
    HostError m_error = HostError::kNone;
};

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Names between NTFS's 16-bit units and the code page the players use.
class CodePageNames final : public INameHost {
  public:
    char Separator() const override { return '\\'; }

    bool ToWire(std::string_view name, std::string& wire) const override {
        const std::wstring wide = WideOf(name);
        std::wstring back;
        return ToCodePage(wide, wire) && FromCodePage(wire, back) && back == wide;
    }

    bool ToHost(std::string_view wire, std::string& name) const override {
        std::wstring wide;
        if (!FromCodePage(wire, wide)) return false;
        name = Utf8Of(wide.c_str());
        return true;
    }

    // Beyond the separators, the characters Windows refuses in names, which only names made
    // elsewhere (under Wine, on the Unix side) hold. A double-byte code page's second byte can
    // be a backslash (Shift JIS) or "|": such a name travels under an alias too.
    bool Carries(std::string_view wire) const override {
        for (char c : wire) {
            if (static_cast<unsigned char>(c) < 0x20) return false;
        }
        return wire.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
    }

    bool Exists(const std::string& path) const override {
        return GetFileAttributesW(WideOf(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // An empty drive root has not even "." and "..": a walk with nothing in it.
    std::unique_ptr<IHostWalk> Walk(const std::string& folder) const override {
        const std::wstring wide = WideOf(folder);
        WIN32_FIND_DATAW data;
        FindHandle find(FindFirstFileW((wide + L"\\*").c_str(), &data));
        if (find.Valid()) return std::make_unique<FindWalk>(std::move(find), data);
        if (GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(wide)) {
            return std::make_unique<FindWalk>();
        }
        return nullptr;
    }
};

FileHandle OpenExisting(const std::wstring& path, DWORD access, DWORD flags) {
    return FileHandle(CreateFileW(path.c_str(), access, kShareAll | FILE_SHARE_DELETE, nullptr,
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
Transfer ReadAt(const FileHandle& file, uint64_t offset, void* buffer, uint32_t count) {
    if (offset > kMaxOffset - count) return {};
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    if (ReadFile(file.Get(), buffer, count, &done, &at)) return {done, HostError::kNone};
    // With an offset given, a read at or past the end fails with this instead of answering
    // 0 bytes.
    const DWORD error = GetLastError();
    return {0, error == ERROR_HANDLE_EOF ? HostError::kNone : ErrorOf(error)};
}

Transfer WriteAt(const FileHandle& file, uint64_t offset, const void* data, uint32_t count) {
    if (offset > kMaxOffset - count) return {0, HostError::kOther};
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    if (!WriteFile(file.Get(), data, count, &done, &at)) return {done, ErrorOf(GetLastError())};
    return {done, done < count ? HostError::kOther : HostError::kNone};
}

class Win32File final : public IHostFile {
  public:
    explicit Win32File(FileHandle handle) : m_handle(std::move(handle)) {}

    Transfer ReadAt(uint64_t offset, void* buffer, uint32_t count) override {
        return hostfs::ReadAt(m_handle, offset, buffer, count);
    }

    Transfer WriteAt(uint64_t offset, const void* data, uint32_t count) override {
        return hostfs::WriteAt(m_handle, offset, data, count);
    }

    HostError Flush() override { return Outcome(FlushFileBuffers(m_handle.Get()) != 0); }

  private:
    FileHandle m_handle;
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
bool HasProgramSuffix(std::string_view path) {
    if (path.size() < 4) return false;
    std::string suffix(path.substr(path.size() - 4));
    for (char& c : suffix) c = AsciiLower(c);
    return suffix == ".exe" || suffix == ".bat" || suffix == ".cmd" || suffix == ".com";
}

// What Status reports from the attributes that GetFileAttributesExW gave. The link count would
// need an open, so it stays 1.
void StatusOf(const WIN32_FILE_ATTRIBUTE_DATA& data, std::string_view path, FileStatus& status) {
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

// Without backup semantics CreateFileW refuses a folder, as the file service wants. It says
// "access denied" then, which is no matter of permissions: a folder is no file to open (kOther,
// as on POSIX).
FileHandle OpenFile(const std::wstring& host, OpenMode mode, bool exclusive, HostError& error) {
    const OpenRequest request = RequestFor(mode);
    FileHandle file(CreateFileW(host.c_str(), request.access, exclusive ? 0 : kShareAll, nullptr,
                                request.disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    error = HostError::kNone;
    if (!file.Valid()) {
        const DWORD code = GetLastError();
        error = code == ERROR_ACCESS_DENIED && IsFolder(host) ? HostError::kOther : ErrorOf(code);
    }
    return file;
}

// `host` is `path` as Windows spells it; the program suffix is read from the name as it travels,
// whose extension an alias keeps.
HostError PathStatus(const std::wstring& host, std::string_view path, FileStatus& status) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(host.c_str(), GetFileExInfoStandard, &data)) {
        return ErrorOf(GetLastError());
    }
    StatusOf(data, path, status);
    return HostError::kNone;
}

// The transfer on a file opened for it; the status is then asked of the path, the file closed.
// GetFileInformationByHandle would spare the path's search, but it also asks for the volume's
// serial number, which under Wine took the Windows build's reads from 36 to 20 MB/s.
template <typename Move>
TransferResult TransferOnce(const std::wstring& host, std::string_view path, OpenMode mode,
                            bool exclusive, FileStatus* after, Move move) {
    TransferResult result;
    {
        FileHandle file = OpenFile(host, mode, exclusive, result.error);
        if (!file.Valid()) return result;
        static_cast<Transfer&>(result) = move(file);
    }
    result.hasStatus = after != nullptr && PathStatus(host, path, *after) == HostError::kNone;
    return result;
}

// The attributes SetFileAttributesW accepts; the others (folder, compressed ...) it refuses.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Find-first takes "*" and "?" in a path's last step as wildcards, and "<", ">" and '"' as
// their DOS forms: a name with them would match other files. No stored name holds them.
bool EndsInPattern(std::string_view path) {
    const size_t last = path.rfind('\\');
    return path.find_first_of("*?<>\"", last == std::string_view::npos ? 0 : last) !=
           std::string_view::npos;
}

std::string FolderOf(std::string_view path) {
    const size_t last = path.rfind('\\');
    return std::string(last == std::string_view::npos ? std::string_view() : path.substr(0, last));
}

// Paths come as the file service names them, in the system's code page with aliases for what it
// lacks (WireNames.h); the wide ("W") calls get them as the volume spells them. Converting here
// is what lets a name that the code page lacks be opened at all: an "A" call would have turned
// it into "?" or a best-fit look-alike.
class Win32Fs final : public IHostFs {
  public:
    char Separator() const override { return '\\'; }

    bool IsPlainName(const char* name, size_t length) const override {
        const std::string_view text(name, length);
        if (text.empty() || text.find_first_of(std::string_view("\\/:\0", 4)) != text.npos ||
            !m_names.IsText(text)) {
            return false;
        }
        return text == "." || text == ".." || text.find_first_not_of(". ") != text.npos;
    }

    bool SettlesTrailingDots() const override { return true; }

    // Links and junctions are not followed here: the check stays lexical on Windows.
    bool RealLocation(PathView path, PathText& real) override {
        real.Assign(path);
        return true;
    }

    bool FindStoredName(PathView path, PathText& name) override {
        if (EndsInPattern(path)) return false;
        ResolvedPath host;
        m_names.ToHostPath(path, host);
        WIN32_FIND_DATAW data;
        FindHandle find(FindFirstFileW(WideOf(host.path).c_str(), &data));
        if (!find.Valid()) return false;
        if (host.lastByAlias) {
            name.Assign(path.view().substr(path.view().rfind('\\') + 1));
            return true;
        }
        HostEntry entry;
        entry.name = Utf8Of(data.cFileName);
        entry.shortName = Utf8Of(data.cAlternateFileName);
        name.Assign(m_names.WireNameOf(FolderOf(host.path), entry));
        return true;
    }

    std::unique_ptr<IListing> List(PathView folder) override {
        ResolvedPath host;
        m_names.ToHostPath(folder, host);
        return m_names.List(host.path);
    }

    // From the attributes alone, without opening the file: a file another program holds
    // exclusively still has a status.
    HostError Status(PathView path, FileStatus& status) override {
        return PathStatus(Wide(path), path, status);
    }

    HostError Open(PathView path, OpenMode mode, bool exclusive,
                   std::unique_ptr<IHostFile>& file) override {
        HostError error = HostError::kNone;
        FileHandle opened = OpenFile(Wide(path), mode, exclusive, error);
        if (opened.Valid()) file = std::make_unique<Win32File>(std::move(opened));
        return error;
    }

    TransferResult ReadOnce(PathView path, bool exclusive, uint64_t offset, void* buffer,
                            uint32_t count, FileStatus* after) override {
        return TransferOnce(
            Wide(path), path, OpenMode::kReadExisting, exclusive, after,
            [&](const FileHandle& file) { return ReadAt(file, offset, buffer, count); });
    }

    TransferResult WriteOnce(PathView path, bool exclusive, uint64_t offset, const void* data,
                             uint32_t count, FileStatus* after) override {
        return TransferOnce(
            Wide(path), path, OpenMode::kWriteExisting, exclusive, after,
            [&](const FileHandle& file) { return WriteAt(file, offset, data, count); });
    }

    HostError FlushOnce(PathView path) override {
        HostError error = HostError::kNone;
        FileHandle file = OpenFile(Wide(path), OpenMode::kWriteExisting, false, error);
        return file.Valid() ? Outcome(FlushFileBuffers(file.Get()) != 0) : error;
    }

    // Only the read-only mark exists: a file cannot be made unreadable by attribute.
    HostError SetPermissions(PathView path, bool, bool writable) override {
        const std::wstring host = Wide(path);
        DWORD attributes = GetFileAttributesW(host.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return ErrorOf(GetLastError());
        attributes &= kSettableAttributes;
        attributes =
            writable ? attributes & ~FILE_ATTRIBUTE_READONLY : attributes | FILE_ATTRIBUTE_READONLY;
        // FILE_ATTRIBUTE_NORMAL is how "no attributes" is said, and only alone.
        return Outcome(SetFileAttributesW(host.c_str(),
                                          attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL) !=
                       0);
    }

    HostError SetSize(PathView path, uint64_t size) override {
        if (size > kMaxOffset) return HostError::kOther;
        FileHandle file = OpenExisting(Wide(path), GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL);
        if (!file.Valid()) return ErrorOf(GetLastError());
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        return Outcome(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) &&
                       SetEndOfFile(file.Get()));
    }

    // Backup semantics let the same open reach a folder's times.
    HostError SetTimes(PathView path, const int64_t* atime, const int64_t* mtime) override {
        FILETIME access{};
        FILETIME write{};
        if (atime != nullptr && !ToFileTime(*atime, access)) return HostError::kOther;
        if (mtime != nullptr && !ToFileTime(*mtime, write)) return HostError::kOther;
        FileHandle file =
            OpenExisting(Wide(path), FILE_WRITE_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
        if (!file.Valid()) return ErrorOf(GetLastError());
        return Outcome(SetFileTime(file.Get(), nullptr, atime ? &access : nullptr,
                                   mtime ? &write : nullptr) != 0);
    }

    HostError MakeFolder(PathView path) override {
        return Outcome(CreateDirectoryW(Wide(path).c_str(), nullptr) != 0);
    }
    HostError RemoveFolder(PathView path) override {
        return Outcome(RemoveDirectoryW(Wide(path).c_str()) != 0);
    }
    HostError RemoveFile(PathView path) override {
        return Outcome(DeleteFileW(Wide(path).c_str()) != 0);
    }

    // Without MOVEFILE_REPLACE_EXISTING, MoveFileW refuses an existing target.
    HostError Move(PathView from, PathView to) override {
        return Outcome(MoveFileW(Wide(from).c_str(), Wide(to).c_str()) != 0);
    }

    // The drive is named by the path's first letter, whatever follows it.
    HostError FreeSpace(PathView path, DiskSpace& space) override {
        if (path.empty() || !IsDriveLetter(path.c_str()[0])) return HostError::kNotFound;
        const wchar_t root[] = {static_cast<wchar_t>(path.c_str()[0]), L':', L'\\', L'\0'};
        DWORD sectorsPerCluster = 0;
        DWORD bytesPerSector = 0;
        DWORD freeClusters = 0;
        DWORD totalClusters = 0;
        if (!GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                               &totalClusters)) {
            return ErrorOf(GetLastError());
        }
        space = DiskSpace{};
        space.sectorsPerCluster = sectorsPerCluster;
        space.bytesPerSector = bytesPerSector;
        space.freeClusters = freeClusters;
        space.totalClusters = totalClusters;
        return HostError::kNone;
    }

    // Find-first answers with the stored name and the attributes together.
    // The stored name comes from the folder's entry, the status from the file itself: NTFS
    // updates a folder entry's size and times lazily, so a file another program is still
    // writing would otherwise report old figures.
    Presence FindWithStatus(PathView path, PathText& name, FileStatus& status) override {
        if (!FindStoredName(path, name)) return Presence::kNone;
        return Status(path, status) == HostError::kNone ? Presence::kWithStatus
                                                        : Presence::kNameOnly;
    }

    std::string ServedPath(PathView folder) override {
        return m_names.ToWirePath(std::string(folder.view()));
    }

  private:
    // `path` as Windows spells it.
    std::wstring Wide(std::string_view path) {
        ResolvedPath host;
        m_names.ToHostPath(path, host);
        return WideOf(host.path);
    }

    WireNames m_names{std::make_unique<CodePageNames>()};
};

}  // namespace

IHostFs& PlatformFs() {
    static Win32Fs fs;
    return fs;
}

// Names travel in the system's code page, whatever is asked.
bool SetNameCharset(const std::string& charset) {
    return charset.empty();
}

}  // namespace hostfs
