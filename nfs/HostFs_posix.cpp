#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include <atomic>
#include <limits>
#include <mutex>
#include <string_view>
#include <utility>

#include "HostFs.h"
#include "WireNames.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace hostfs {

namespace {

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());

off_t Offset(uint64_t offset) {
    return static_cast<off_t>(offset);
}

// Owns one file descriptor.
class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    bool Valid() const { return m_fd >= 0; }
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

HostError ErrorOf(int error);
HostError Outcome(bool done);

Transfer ReadAt(const Descriptor& fd, uint64_t offset, void* buffer, uint32_t count) {
    Transfer done;
    // No file reaches beyond off_t's range: there is nothing to read there.
    if (offset > kMaxOffset - count) return done;
    auto* bytes = static_cast<char*>(buffer);
    while (done.bytes < count) {
        ssize_t n =
            pread(fd.Get(), bytes + done.bytes, count - done.bytes, Offset(offset + done.bytes));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) done.error = ErrorOf(errno);
            break;
        }
        done.bytes += static_cast<uint32_t>(n);
    }
    return done;
}

// No file can reach beyond off_t's range either.
Transfer WriteAt(const Descriptor& fd, uint64_t offset, const void* data, uint32_t count) {
    Transfer done;
    if (offset > kMaxOffset - count) return {0, HostError::kOther};
    auto* bytes = static_cast<const char*>(data);
    while (done.bytes < count) {
        ssize_t n =
            pwrite(fd.Get(), bytes + done.bytes, count - done.bytes, Offset(offset + done.bytes));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            done.error = n < 0 ? ErrorOf(errno) : HostError::kOther;
            break;
        }
        done.bytes += static_cast<uint32_t>(n);
    }
    return done;
}

class PosixFile final : public IHostFile {
  public:
    explicit PosixFile(Descriptor fd) : m_fd(std::move(fd)) {}

    Transfer ReadAt(uint64_t offset, void* buffer, uint32_t count) override {
        return hostfs::ReadAt(m_fd, offset, buffer, count);
    }

    Transfer WriteAt(uint64_t offset, const void* data, uint32_t count) override {
        return hostfs::WriteAt(m_fd, offset, data, count);
    }

    HostError Flush() override { return Outcome(fsync(m_fd.Get()) == 0); }

  private:
    Descriptor m_fd;
};

// Owns the directory stream it reads.
class DirWalk final : public IHostWalk {
  public:
    explicit DirWalk(DIR* dir) : m_dir(dir) {}
    DirWalk(const DirWalk&) = delete;
    DirWalk& operator=(const DirWalk&) = delete;
    ~DirWalk() override { closedir(m_dir); }

    // readdir(3) tells the end from a failure by errno alone.
    bool Next(HostEntry& entry) override {
        errno = 0;
        const dirent* found = readdir(m_dir);
        if (found == nullptr) {
            if (errno != 0) m_error = ErrorOf(errno);
            return false;
        }
        entry.name = found->d_name;
        entry.mayLeadElsewhere = found->d_type == DT_LNK || found->d_type == DT_UNKNOWN;
        return true;
    }

    HostError Error() const override { return m_error; }

  private:
    DIR* m_dir;
    HostError m_error = HostError::kNone;
};

std::unique_ptr<DirWalk> WalkOf(PathView folder) {
    DIR* dir = opendir(folder.c_str());
    return dir == nullptr ? nullptr : std::make_unique<DirWalk>(dir);
}

// A folder's names as the host stores them.
class DirListing final : public IListing {
  public:
    explicit DirListing(std::unique_ptr<DirWalk> walk) : m_walk(std::move(walk)) {}

    bool Next(std::string& name) override {
        if (!m_walk->Next(m_entry)) return false;
        name = m_entry.name;
        return true;
    }

    bool MayLeadElsewhere() const override { return m_entry.mayLeadElsewhere; }
    HostError Error() const override { return m_walk->Error(); }

  private:
    std::unique_ptr<DirWalk> m_walk;
    HostEntry m_entry;
};

// Host names, taken as UTF-8, in the charset the players use. iconv's descriptors keep state
// between calls, so one conversion at a time uses them.
class IconvNames final : public INameHost {
  public:
    // Null when iconv does not know the charset, or it does not spell "." as ASCII does.
    static std::unique_ptr<IconvNames> Open(const std::string& charset) {
        iconv_t toWire = iconv_open(charset.c_str(), "UTF-8");
        iconv_t toHost = iconv_open("UTF-8", charset.c_str());
        std::unique_ptr<IconvNames> names;
        if (toWire != kNoConversion && toHost != kNoConversion) {
            names.reset(new IconvNames(toWire, toHost));
        } else {
            if (toWire != kNoConversion) iconv_close(toWire);
            if (toHost != kNoConversion) iconv_close(toHost);
        }
        std::string dot;
        if (names != nullptr && !(names->ToWire(".", dot) && dot == ".")) names.reset();
        return names;
    }

    IconvNames(const IconvNames&) = delete;
    IconvNames& operator=(const IconvNames&) = delete;
    ~IconvNames() override {
        iconv_close(m_toWire);
        iconv_close(m_toHost);
    }

    char Separator() const override { return '/'; }

    bool ToWire(std::string_view name, std::string& wire) const override {
        std::string back;
        return Convert(m_toWire, name, wire) && Convert(m_toHost, wire, back) && back == name;
    }

    bool ToHost(std::string_view wire, std::string& name) const override {
        return Convert(m_toHost, wire, name);
    }

    bool Carries(std::string_view wire) const override {
        return wire.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
    }

    bool Exists(const std::string& path) const override {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }

    std::unique_ptr<IHostWalk> Walk(const std::string& folder) const override {
        return WalkOf(folder);
    }

  private:
    static inline const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

    IconvNames(iconv_t toWire, iconv_t toHost) : m_toWire(toWire), m_toHost(toHost) {}

    // Room for four bytes out per byte in covers every charset a name could travel in.
    bool Convert(iconv_t conversion, std::string_view in, std::string& out) const {
        std::lock_guard<std::mutex> hold(m_lock);
        iconv(conversion, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * 4 + 16);
        char* from = const_cast<char*>(in.data());
        size_t left = in.size();
        char* to = out.data();
        size_t room = out.size();
        const size_t kFailed = static_cast<size_t>(-1);
        if (iconv(conversion, &from, &left, &to, &room) == kFailed ||
            iconv(conversion, nullptr, nullptr, &to, &room) == kFailed) {
            return false;
        }
        out.resize(out.size() - room);
        return true;
    }

    iconv_t m_toWire;
    iconv_t m_toHost;
    mutable std::mutex m_lock;
};

// The names of the charset set last; null while names travel as the host's bytes. A test may
// change it while server threads read it.
std::shared_ptr<WireNames> g_names;

std::shared_ptr<WireNames> CurrentNames() {
    return std::atomic_load(&g_names);
}

// A path as the host spells it: the path itself while names travel as the host's bytes.
class Spelled {
  public:
    explicit Spelled(PathView path) : m_names(CurrentNames()), m_path(path) {
        if (m_names == nullptr) return;
        m_names->ToHostPath(path, m_resolved);
        m_path = PathView(m_resolved.path);
    }
    Spelled(const Spelled&) = delete;
    Spelled& operator=(const Spelled&) = delete;

    const char* c_str() const { return m_path.c_str(); }
    PathView str() const { return m_path; }

    // Whether names travel in another charset than the host's bytes.
    bool Converted() const { return m_names != nullptr; }

    // The name under which the entry at `path` (as given), once found, travels: the last step
    // of a path names its entry with the spelling stored on the disk.
    void StoredName(std::string_view path, PathText& name) const {
        if (m_names == nullptr || m_resolved.lastByAlias) {
            name.Assign(path.substr(path.rfind('/') + 1));
            return;
        }
        const std::string_view spelled = m_path.view();
        const size_t slash = spelled.rfind('/');
        HostEntry entry;
        entry.name.assign(spelled.substr(slash + 1));
        name.Assign(
            m_names->WireNameOf(std::string(spelled.substr(0, slash == 0 ? 1 : slash)), entry));
    }

  private:
    std::shared_ptr<WireNames> m_names;
    ResolvedPath m_resolved;
    PathView m_path;
};

FileKind KindOf(mode_t mode) {
    if (S_ISCHR(mode)) return FileKind::kCharDevice;
    if (S_ISDIR(mode)) return FileKind::kDirectory;
    if (S_ISREG(mode)) return FileKind::kRegular;
    return FileKind::kOther;
}

// What Status reports from what stat(2) gave.
void StatusOf(const struct stat& st, FileStatus& status) {
    status.kind = KindOf(st.st_mode);
    status.readable = (st.st_mode & S_IRUSR) != 0;
    status.writable = (st.st_mode & S_IWUSR) != 0;
    status.executable = (st.st_mode & S_IXUSR) != 0;
    status.links = st.st_nlink > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(st.st_nlink);
    status.size = static_cast<uint64_t>(st.st_size);
    status.atime = st.st_atim.tv_sec;
    status.mtime = st.st_mtim.tv_sec;
    status.ctime = st.st_ctim.tv_sec;
}

int OpenFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::kReadExisting:
            return O_RDONLY;
        case OpenMode::kWriteExisting:
            return O_WRONLY;
        case OpenMode::kCreateAlways:
            return O_RDWR | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

// Folders, devices and pipes are no files to read or write; Windows refuses to open them too.
bool IsRegularFile(const Descriptor& fd) {
    struct stat st;
    return fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode);
}

// POSIX has no share modes: a lock binds only the programs that ask for one, so an exclusive
// open can promise nothing here. O_NONBLOCK keeps a FIFO from stalling the call. Invalid, with
// `error` set, unless a regular file was opened; a folder, a device or a pipe is no file to
// transfer, whatever the host says of it (kOther, as on Windows).
Descriptor OpenRegular(PathView path, OpenMode mode, HostError& error) {
    Descriptor fd(open(path.c_str(), OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd.Valid()) {
        error = errno == EISDIR ? HostError::kOther : ErrorOf(errno);
        return fd;
    }
    error = IsRegularFile(fd) ? HostError::kNone : HostError::kOther;
    return error == HostError::kNone ? std::move(fd) : Descriptor(-1);
}

bool StatusOf(const Descriptor& fd, FileStatus& status) {
    struct stat st;
    if (fstat(fd.Get(), &st) != 0) return false;
    StatusOf(st, status);
    return true;
}

// The transfer on a file opened for it, then the file's status from the same descriptor.
template <typename Move>
TransferResult TransferOnce(PathView path, OpenMode mode, FileStatus* after, Move move) {
    TransferResult result;
    Descriptor fd = OpenRegular(path, mode, result.error);
    if (!fd.Valid()) return result;
    static_cast<Transfer&>(result) = move(fd);
    result.hasStatus = after != nullptr && StatusOf(fd, *after);
    return result;
}

timespec TimeOrOmit(const int64_t* seconds) {
    timespec time{};
    if (seconds == nullptr) {
        time.tv_nsec = UTIME_OMIT;
    } else {
        time.tv_sec = static_cast<time_t>(*seconds);
    }
    return time;
}

// True also when lstat fails for another reason than absence: a move must not guess.
bool MightExist(PathView path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

bool IsFolder(PathView path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

HostError ErrorOf(int error) {
    switch (error) {
        case ENOENT:
            return HostError::kNotFound;
        case EEXIST:
            return HostError::kExists;
        case ENOTEMPTY:
            return HostError::kNotEmpty;
        case ENOTDIR:
            return HostError::kNotFolder;
        case EISDIR:
            return HostError::kIsFolder;
        case EACCES:
        case EPERM:
        case EROFS:
            return HostError::kDenied;
        case ENOSPC:
        case EDQUOT:
            return HostError::kNoSpace;
        case ENAMETOOLONG:
            return HostError::kNameTooLong;
        default:
            return HostError::kOther;
    }
}

// The outcome of a call that reports failure through errno.
HostError Outcome(bool done) {
    return done ? HostError::kNone : ErrorOf(errno);
}

// link(2) refuses an existing target atomically, so a file never replaces one this way.
bool MoveByLink(PathView from, PathView to) {
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) == 0) return true;
    unlink(to.c_str());
    return false;
}

// For kernels or file systems without RENAME_NOREPLACE. Folders cannot be hard-linked and
// some file systems have no links at all; those get a rename after a check, which only another
// program could race, since our own calls are served one at a time.
HostError MoveWithoutRenameat2(PathView from, PathView to) {
    if (MightExist(to)) return HostError::kExists;
    if (!IsFolder(from) && MoveByLink(from, to)) return HostError::kNone;
    if (MightExist(to)) return HostError::kExists;
    return Outcome(rename(from.c_str(), to.c_str()) == 0);
}

// realpath(3) of the longest part of `path` that exists, the rest appended as spelled. What
// lstat finds but realpath cannot resolve is a link that leads nowhere (or in a circle). Every
// call checks the paths it serves, so the usual case, a path that exists, allocates nothing.
bool ResolveExistingPart(PathView path, PathText& real) {
    char whole[PATH_MAX];
    if (realpath(path.c_str(), whole) != nullptr) {
        real.Assign(whole);
        return true;
    }
    std::string existing(path.view());
    std::string rest;
    for (;;) {
        std::unique_ptr<char, decltype(&free)> resolved(realpath(existing.c_str(), nullptr), free);
        if (resolved != nullptr) {
            real.Assign(resolved.get());
            if (real.view().back() == '/' && !rest.empty()) rest.erase(0, 1);
            real.Append(rest);
            return true;
        }
        struct stat st;
        if (lstat(existing.c_str(), &st) == 0) return false;
        size_t slash = existing.rfind('/');
        if (slash == std::string::npos || existing.size() == 1) return false;
        rest.insert(0, existing, slash, std::string::npos);
        existing.resize(slash == 0 ? 1 : slash);
    }
}

// What readlink(2) tells of one component of a path whose folders on the way are no links.
enum class Component { kPlain, kMissing, kOther };

Component ComponentAt(const char* path) {
    char target[1];
    if (readlink(path, target, sizeof target) >= 0) return Component::kOther;
    if (errno == EINVAL) return Component::kPlain;
    return errno == ENOENT ? Component::kMissing : Component::kOther;
}

// Whether the spelled folder, the first `length` characters of `path`, still leads to the folder
// identified when it was resolved.
bool StillLeadsTo(char* path, size_t length, const ResolvedFolder& folder) {
    const char kept = path[length];
    path[length] = '\0';
    struct stat st;
    const bool same =
        stat(path, &st) == 0 && st.st_dev == folder.device && st.st_ino == folder.node;
    path[length] = kept;
    return same;
}

// ResolveExistingPart of a path below a folder whose spelling still leads where it did, from the
// folder's real location on: one readlink(2) per component below it, instead of one per
// component of the whole path. False where that is not enough to settle the path (a link, a "."
// or ".." step, doubled separators, any other refusal of the host), for full resolution to
// decide.
bool ResolvePlainRest(std::string_view path, size_t folderLength, const ResolvedFolder& folder,
                      PathText& real) {
    char walked[PATH_MAX];
    if (!folder.identified || folder.real.empty() || folderLength == 0 ||
        folderLength > path.size() || path.size() >= sizeof walked) {
        return false;
    }
    walked[path.copy(walked, path.size())] = '\0';
    if (!StillLeadsTo(walked, folderLength, folder)) return false;
    real.Assign(folder.real);
    size_t end = folderLength;
    while (end < path.size()) {
        const size_t begin = path[end] == '/' ? end + 1 : end;
        if (path[begin - 1] != '/') return false;
        end = path.find('/', begin);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view name(path.data() + begin, end - begin);
        if (name.empty() || name == "." || name == "..") return false;
        walked[end] = '\0';
        const Component component = ComponentAt(walked);
        walked[end] = path[end];
        if (component == Component::kMissing) {
            // Kept as spelled from the separator before it on, as ResolveExistingPart keeps it.
            real.Append(path.substr(real.view().back() == '/' ? begin : begin - 1));
            return true;
        }
        if (component != Component::kPlain) return false;
        if (real.view().back() != '/') real.Append('/');
        real.Append(name);
    }
    return true;
}

class PosixFs final : public IHostFs {
  public:
    char Separator() const override { return '/'; }

    // A name from a client must also be text in the charset names travel in.
    bool IsPlainName(const char* name, size_t length) const override {
        const std::string_view text(name, length);
        if (length == 0 || text.find_first_of(std::string_view("/\0", 2)) != text.npos) {
            return false;
        }
        std::shared_ptr<WireNames> names = CurrentNames();
        return names == nullptr || names->IsText(text);
    }

    bool SettlesTrailingDots() const override { return false; }

    // lstat, like find-first, sees a dangling link.
    bool FindStoredName(PathView path, PathText& name) override {
        Spelled host(path);
        struct stat st;
        if (lstat(host.c_str(), &st) != 0) return false;
        host.StoredName(path, name);
        return true;
    }

    // Where the path leads, as the host spells it: only the seam compares real locations.
    bool RealLocation(PathView path, PathText& real) override {
        return ResolveExistingPart(Spelled(path).str(), real);
    }

    bool ResolveFolder(PathView folder, ResolvedFolder& resolved) override {
        resolved = ResolvedFolder{};
        PathText real;
        if (!ResolveExistingPart(Spelled(folder).str(), real)) return false;
        resolved.real.assign(real.view());
        struct stat st;
        if (stat(resolved.real.c_str(), &st) == 0) {
            resolved.identified = true;
            resolved.device = st.st_dev;
            resolved.node = st.st_ino;
        }
        return true;
    }

    // The folder's spelling is as long on the host as its own steps make it.
    bool RealLocationBelow(PathView path, size_t folderLength, const ResolvedFolder& folder,
                           PathText& real) override {
        Spelled host(path);
        if (host.Converted()) {
            folderLength = Spelled(PathText(path.view().substr(0, folderLength))).str().size();
        }
        return ResolvePlainRest(host.str(), folderLength, folder, real) ||
               ResolveExistingPart(host.str(), real);
    }

    std::unique_ptr<IListing> List(PathView folder) override {
        std::shared_ptr<WireNames> names = CurrentNames();
        if (names != nullptr) return names->List(std::string(Spelled(folder).str().view()));
        std::unique_ptr<DirWalk> walk = WalkOf(folder);
        if (walk == nullptr) return nullptr;
        return std::make_unique<DirListing>(std::move(walk));
    }

    HostError Status(PathView path, FileStatus& status) override {
        struct stat st;
        if (stat(Spelled(path).c_str(), &st) != 0) return ErrorOf(errno);
        StatusOf(st, status);
        return HostError::kNone;
    }

    HostError Open(PathView path, OpenMode mode, bool, std::unique_ptr<IHostFile>& file) override {
        HostError error = HostError::kNone;
        Descriptor fd = OpenRegular(Spelled(path).str(), mode, error);
        if (fd.Valid()) file = std::make_unique<PosixFile>(std::move(fd));
        return error;
    }

    TransferResult ReadOnce(PathView path, bool, uint64_t offset, void* buffer, uint32_t count,
                            FileStatus* after) override {
        return TransferOnce(
            Spelled(path).str(), OpenMode::kReadExisting, after,
            [&](const Descriptor& fd) { return ReadAt(fd, offset, buffer, count); });
    }

    TransferResult WriteOnce(PathView path, bool, uint64_t offset, const void* data, uint32_t count,
                             FileStatus* after) override {
        return TransferOnce(Spelled(path).str(), OpenMode::kWriteExisting, after,
                            [&](const Descriptor& fd) { return WriteAt(fd, offset, data, count); });
    }

    HostError FlushOnce(PathView path) override {
        HostError error = HostError::kNone;
        Descriptor fd = OpenRegular(Spelled(path).str(), OpenMode::kWriteExisting, error);
        return fd.Valid() ? Outcome(fsync(fd.Get()) == 0) : error;
    }

    // Group and other bits, and the owner's execute bit, are not the client's to change here.
    HostError SetPermissions(PathView path, bool readable, bool writable) override {
        Spelled host(path);
        struct stat st;
        if (stat(host.c_str(), &st) != 0) return ErrorOf(errno);
        mode_t mode = st.st_mode & 07777 & ~(S_IRUSR | S_IWUSR);
        if (readable) mode |= S_IRUSR;
        if (writable) mode |= S_IWUSR;
        return Outcome(chmod(host.c_str(), mode) == 0);
    }

    // No file can reach beyond off_t's range.
    HostError SetSize(PathView path, uint64_t size) override {
        if (size > kMaxOffset) return HostError::kOther;
        return Outcome(truncate(Spelled(path).c_str(), static_cast<off_t>(size)) == 0);
    }

    HostError SetTimes(PathView path, const int64_t* atime, const int64_t* mtime) override {
        const timespec times[2] = {TimeOrOmit(atime), TimeOrOmit(mtime)};
        return Outcome(utimensat(AT_FDCWD, Spelled(path).c_str(), times, 0) == 0);
    }

    HostError MakeFolder(PathView path) override {
        return Outcome(mkdir(Spelled(path).c_str(), 0777) == 0);
    }
    HostError RemoveFolder(PathView path) override {
        return Outcome(rmdir(Spelled(path).c_str()) == 0);
    }
    HostError RemoveFile(PathView path) override {
        return Outcome(unlink(Spelled(path).c_str()) == 0);
    }

    // rename(2) replaces an existing target, and a client's move must never destroy a file.
    HostError Move(PathView from, PathView to) override {
        Spelled source(from);
        Spelled target(to);
#ifdef SYS_renameat2
        if (syscall(SYS_renameat2, AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(),
                    RENAME_NOREPLACE) == 0) {
            return HostError::kNone;
        }
        // ENOSYS: an old kernel; EINVAL: a file system that does not know the flag.
        if (errno != ENOSYS && errno != EINVAL) return ErrorOf(errno);
#endif
        return MoveWithoutRenameat2(source.str(), target.str());
    }

    // Clusters of one sector of f_frsize bytes: the products then give the file system's
    // exact byte counts. f_bavail, not f_bfree: what a client can really fill.
    HostError FreeSpace(PathView path, DiskSpace& space) override {
        struct statvfs vfs;
        if (statvfs(Spelled(path).c_str(), &vfs) != 0) return ErrorOf(errno);
        space.sectorsPerCluster = 1;
        space.bytesPerSector = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
        space.totalClusters = vfs.f_blocks;
        space.freeClusters = vfs.f_bavail;
        space.hasFileCounts = true;
        space.totalFiles = vfs.f_files;
        space.freeFiles = vfs.f_ffree;
        return HostError::kNone;
    }

    // stat(2) alone when the path leads somewhere, which is nearly always; lstat(2) only to tell
    // a link that leads nowhere from nothing at all.
    Presence FindWithStatus(PathView path, PathText& name, FileStatus& status) override {
        Spelled host(path);
        struct stat st;
        Presence presence = Presence::kWithStatus;
        if (stat(host.c_str(), &st) == 0) {
            StatusOf(st, status);
        } else if (lstat(host.c_str(), &st) == 0) {
            presence = Presence::kNameOnly;
        } else {
            return Presence::kNone;
        }
        host.StoredName(path, name);
        return presence;
    }

    std::string ServedPath(PathView folder) override {
        std::shared_ptr<WireNames> names = CurrentNames();
        std::string path(folder.view());
        return names == nullptr ? path : names->ToWirePath(path);
    }
};

}  // namespace

IHostFs& PlatformFs() {
    static PosixFs fs;
    return fs;
}

bool SetNameCharset(const std::string& charset) {
    std::shared_ptr<WireNames> names;
    if (!charset.empty()) {
        std::unique_ptr<IconvNames> host = IconvNames::Open(charset);
        if (host == nullptr) return false;
        names = std::make_shared<WireNames>(std::move(host));
    }
    std::atomic_store(&g_names, std::move(names));
    return true;
}

}  // namespace hostfs
