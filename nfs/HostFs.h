#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "PathText.h"

// The host file system as the file service uses it: listings in the host's order with stored
// names (every name and path here is spelled as it travels to the players), file status, whole-file
// opens with positioned reads and writes, permission, size and time changes, folders, moves and
// free space. One implementation per platform (HostFs_posix.cpp, HostFs_win32.cpp); tests may put a
// fault-injecting one in front.
namespace hostfs {

enum class FileKind { kOther, kCharDevice, kDirectory, kRegular };

struct FileStatus {
    FileKind kind = FileKind::kOther;
    // The owner's permissions as the file service reports them: on POSIX the owner mode bits
    // (0400, 0200, 0100); on Windows readable always, writable unless read-only, executable for
    // folders and .exe/.bat/.cmd/.com files.
    bool readable = false;
    bool writable = false;
    bool executable = false;
    uint32_t links = 0;
    uint64_t size = 0;
    // Seconds since 1970-01-01 00:00 UTC. ctime is the status-change time (creation on Windows).
    int64_t atime = 0;
    int64_t mtime = 0;
    int64_t ctime = 0;
};

// Free-space figures of the volume that holds a path. File counts exist only where the host
// keeps them (POSIX statvfs).
struct DiskSpace {
    uint64_t sectorsPerCluster = 0;
    uint64_t bytesPerSector = 0;
    uint64_t freeClusters = 0;
    uint64_t totalClusters = 0;
    bool hasFileCounts = false;
    uint64_t totalFiles = 0;
    uint64_t freeFiles = 0;
};

// What one query of the host finds at a path.
enum class Presence {
    kNone,        // nothing there
    kNameOnly,    // an entry the host gives no status for, such as a link that leads nowhere
    kWithStatus,  // an entry and its status
};

// Why the host refused an operation, in terms of neither platform; each platform turns its own
// error into it once, and each NFS version turns it into a status of its own once.
enum class HostError {
    kNone,
    kNotFound,     // the entry, or a folder on its way, is not there
    kExists,       // the new name is taken
    kNotEmpty,     // a folder to remove still holds entries
    kNotFolder,    // a folder was expected
    kIsFolder,     // a file was expected
    kDenied,       // the host's permissions forbid it
    kNoSpace,      // the volume (or the owner's quota) is full
    kNameTooLong,  // the host cannot store a name or path that long
    kOther,        // anything else, a file another program holds included
};

// A folder whose real location was resolved once, and which folder was found there where the
// host can tell folders apart by number (POSIX: device and inode), so that a later check can
// see whether the folder's path still leads to it.
struct ResolvedFolder {
    std::string real;
    bool identified = false;
    uint64_t device = 0;
    uint64_t node = 0;
};

enum class OpenMode {
    kReadExisting,   // read only; fails when the file does not exist
    kWriteExisting,  // write only; neither created nor emptied
    kCreateAlways,   // read and write; created, or emptied when it exists
};

// What one read or write of a host file did: the bytes it moved, and why it stopped short of
// the count (kNone when it did not, and when a read met the end of the file). A disk that fills
// part-way reports the bytes that did land.
struct Transfer {
    uint32_t bytes = 0;
    HostError error = HostError::kNone;
};

// An open host file; closed when destroyed.
class IHostFile {
  public:
    virtual ~IHostFile() = default;
    // Reads at `offset`: 0 bytes at or past the end.
    virtual Transfer ReadAt(uint64_t offset, void* buffer, uint32_t count) = 0;
    // Writes at `offset`; the file grows when it ends before.
    virtual Transfer WriteAt(uint64_t offset, const void* data, uint32_t count) = 0;
    // Puts the file's data on the disk.
    virtual HostError Flush() = 0;
};

// What one open, transfer and close of a host file did; a file that could not be opened moved
// nothing, for the open's reason.
struct TransferResult : Transfer {
    bool hasStatus = false;  // whether the status asked for was filled in
};

// The entries of one folder, in the host's order, "." and ".." included where the host lists
// them.
class IListing {
  public:
    virtual ~IListing() = default;
    // The next entry's stored name; false at the end of the walk.
    virtual bool Next(std::string& name) = 0;
    // Why the walk ended: kNone at the end of the folder, the host's reason where it failed
    // before (a listing must not be taken for the whole folder then).
    virtual HostError Error() const = 0;
    // Whether the entry Next gave last may lead elsewhere than into its folder: a symbolic link,
    // or any entry where the host does not tell from the listing.
    virtual bool MayLeadElsewhere() const { return true; }
};

class IHostFs {
  public:
    virtual ~IHostFs() = default;

    // The character that joins a folder's path and a name.
    virtual char Separator() const = 0;
    // Whether `name` names an entry of a folder (or is the step "." or ".."): not empty, no
    // separator of the host (on Windows "\", "/" and ":"), no NUL. Windows also drops a name's
    // trailing dots and blanks, so there a name made of nothing else ("...", ". ") would act on
    // the folder itself.
    virtual bool IsPlainName(const char* name, size_t length) const = 0;
    // Whether the host settles a last component ending in "." itself, without an entry to find
    // for it: Windows drops trailing dots and reports no entry for "." and ".." or a drive root
    // written as D:\. ; POSIX finds "." and ".." like any other name.
    virtual bool SettlesTrailingDots() const = 0;

    // The stored name of the one entry at `path` (find-first on the path itself), letter case
    // as stored; false when nothing is there.
    virtual bool FindStoredName(PathView path, PathText& name) = 0;
    // Where `path` leads once every symbolic link on it is followed, for the check that keeps
    // clients inside the shares. The part of the path that does not exist (yet) is kept as
    // spelled. False when a link on the way leads nowhere the host can follow (dangling, a loop).
    // Windows: the path itself.
    virtual bool RealLocation(PathView path, PathText& real) = 0;
    // RealLocation of `folder`, for RealLocationBelow, and which folder is there where the host
    // can tell (left unidentified otherwise).
    virtual bool ResolveFolder(PathView folder, ResolvedFolder& resolved);
    // What RealLocation answers for `path`, whose first `folderLength` characters spell a folder
    // that ResolveFolder resolved as `folder`. Every call checks its paths this way: while that
    // spelling still leads to the same folder, the links above it need not be followed again.
    virtual bool RealLocationBelow(PathView path, size_t folderLength, const ResolvedFolder& folder,
                                   PathText& real);
    // Null when the folder cannot be listed.
    virtual std::unique_ptr<IListing> List(PathView folder) = 0;
    virtual HostError Status(PathView path, FileStatus& status) = 0;

    // `exclusive` asks that no other program have the file open meanwhile (where the host
    // knows such a thing). A folder, a device or a pipe is no file to open: kOther.
    virtual HostError Open(PathView path, OpenMode mode, bool exclusive,
                           std::unique_ptr<IHostFile>& file) = 0;

    // One ReadAt (WriteAt) on the file at `path`, opened as Open would open it for this
    // transfer alone and closed again before returning. With `after` given and the file opened,
    // `after` receives the file's status once the transfer is over, as Status reports it (POSIX
    // takes it from the open file, sparing a second search for the path). The platforms keep the
    // open file on the stack: a READ or WRITE allocates nothing on the host's side.
    virtual TransferResult ReadOnce(PathView path, bool exclusive, uint64_t offset, void* buffer,
                                    uint32_t count, FileStatus* after);
    virtual TransferResult WriteOnce(PathView path, bool exclusive, uint64_t offset,
                                     const void* data, uint32_t count, FileStatus* after);
    // Puts the file's data on the disk through a write open that shares the file with others.
    virtual HostError FlushOnce(PathView path);

    // Marks the file read-only when `writable` is false, removes the mark otherwise; on POSIX
    // sets the owner's read and write bits as asked.
    virtual HostError SetPermissions(PathView path, bool readable, bool writable) = 0;
    virtual HostError SetSize(PathView path, uint64_t size) = 0;
    // Each time (seconds since 1970) is set only when its pointer is not null.
    virtual HostError SetTimes(PathView path, const int64_t* atime, const int64_t* mtime) = 0;

    virtual HostError MakeFolder(PathView path) = 0;
    virtual HostError RemoveFolder(PathView path) = 0;
    virtual HostError RemoveFile(PathView path) = 0;
    // Moves a file or folder within its volume; kExists when `to` exists.
    virtual HostError Move(PathView from, PathView to) = 0;

    // Windows: the drive named by the path's first letter (kNotFound when it is not a letter).
    // POSIX: the file system that holds the path.
    virtual HostError FreeSpace(PathView path, DiskSpace& space) = 0;

    // FindStoredName and Status of the same path in one query of the host, for the calls that
    // test a path's existence and then report its attributes. `name` is set unless kNone;
    // `status` only with kWithStatus.
    virtual Presence FindWithStatus(PathView path, PathText& name, FileStatus& status) = 0;

    // The path by which the file service names `folder`, given in the host's own spelling
    // (POSIX: its bytes; Windows: UTF-8): each name on it as it travels to the players, under an
    // alias where their charset lacks it (WireNames.h). A share's folder is named so.
    virtual std::string ServedPath(PathView folder);
};

// The charset in which names travel between the players and the file service. POSIX: empty (the
// default) passes the host's bytes unchanged; any other iconv charset carries host names, taken
// as UTF-8 (WireNames.h). Windows: names travel in the system's ANSI code page, and only empty
// is accepted. False, with the charset left as it was, for one the platform cannot use.
bool SetNameCharset(const std::string& charset);

// The platform's file system.
IHostFs& PlatformFs();
// The file system the file service uses: the platform's, unless a test has put another in front.
IHostFs& Fs();
// Null restores the platform's.
void SetFs(IHostFs* fs);

}  // namespace hostfs
