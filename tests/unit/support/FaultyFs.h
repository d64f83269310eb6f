#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "HostFs.h"

// The host operations a test can make fail.
enum class Fault {
    kFindStoredName,
    kList,
    kListNext,  // a walk fails at the entry whose name holds the path part, as a disk may midway
    kStatus,
    kOpenRead,    // Open with OpenMode::kReadExisting
    kOpenWrite,   // Open with OpenMode::kWriteExisting
    kOpenCreate,  // Open with OpenMode::kCreateAlways
    kReadAt,
    kWriteAt,
    kShortWrite,  // WriteAt writes half the bytes and answers them with the error, as a full disk
    kFlush,
    kSetPermissions,
    kSetSize,
    kSetTimes,
    kTimesBefore1980,  // SetTimes refuses times before 1980, as FAT and exFAT do
    kMakeFolder,
    kRemoveFolder,
    kRemoveFile,
    kMove,  // by the source path
    kRealLocation,
    kFreeSpace,
};

// A host file system that forwards to the one in use when it was made and refuses chosen
// operations, for the failures a real disk will not give on demand: a full disk, a locked file,
// a refused move. An operation that reports why refuses with the error it was armed with. It
// puts itself in front (hostfs::SetFs) for its lifetime. Faults on file reads, writes and flushes
// apply to files it opened, also when armed after the open.
class FaultyFs final : public hostfs::IHostFs {
  public:
    FaultyFs();
    FaultyFs(const FaultyFs&) = delete;
    FaultyFs& operator=(const FaultyFs&) = delete;
    ~FaultyFs() override;

    // Fails `fault` from now on with `error`, for every path or only for those that contain
    // `pathPart`.
    void Fail(Fault fault, const std::string& pathPart = "",
              hostfs::HostError error = hostfs::HostError::kOther);
    void Heal(Fault fault);
    // How often `fault` has made an operation fail.
    int Hits(Fault fault) const;
    // How often the operation that `fault` refuses has been asked for, failed or not.
    int Calls(Fault fault) const;
    // Reports every folder with the times `seconds` and a size and link count that no change
    // moves, as on a FAT volume, which keeps no folder times.
    void FreezeFolderStamps(int64_t seconds);
    // Runs `hook` at the start of every operation from now on (null: none), on the caller's
    // thread: a test can hold a call in the middle of its work.
    void OnEveryOperation(std::function<void()> hook);

    // The error `fault` answers for `path` now, counting the hit, or kNone when it does not apply.
    hostfs::HostError Strikes(Fault fault, std::string_view path);

    char Separator() const override;
    bool IsPlainName(const char* name, size_t length) const override;
    bool SettlesTrailingDots() const override;
    bool FindStoredName(PathView path, PathText& name) override;
    bool RealLocation(PathView path, PathText& real) override;
    // Both refused, and counted, as RealLocation is under kRealLocation.
    bool ResolveFolder(PathView folder, hostfs::ResolvedFolder& resolved) override;
    bool RealLocationBelow(PathView path, size_t folderLength, const hostfs::ResolvedFolder& folder,
                           PathText& real) override;
    std::unique_ptr<hostfs::IListing> List(PathView folder) override;
    hostfs::HostError Status(PathView path, hostfs::FileStatus& status) override;
    hostfs::HostError Open(PathView path, hostfs::OpenMode mode, bool exclusive,
                           std::unique_ptr<hostfs::IHostFile>& file) override;
    hostfs::HostError SetPermissions(PathView path, bool readable, bool writable) override;
    hostfs::HostError SetSize(PathView path, uint64_t size) override;
    hostfs::HostError SetTimes(PathView path, const int64_t* atime, const int64_t* mtime) override;
    hostfs::HostError MakeFolder(PathView path) override;
    hostfs::HostError RemoveFolder(PathView path) override;
    hostfs::HostError RemoveFile(PathView path) override;
    hostfs::HostError Move(PathView from, PathView to) override;
    hostfs::HostError FreeSpace(PathView path, hostfs::DiskSpace& space) override;
    // Refused as FindStoredName is under kFindStoredName; without its status under kStatus.
    hostfs::Presence FindWithStatus(PathView path, PathText& name,
                                    hostfs::FileStatus& status) override;

  private:
    // Applies FreezeFolderStamps.
    void Freeze(hostfs::FileStatus& status);

    hostfs::IHostFs& m_inner;
    // Server threads call in while the test arms faults.
    mutable std::mutex m_lock;
    std::map<Fault, std::pair<std::string, hostfs::HostError>> m_faults;
    std::map<Fault, int> m_hits;
    std::map<Fault, int> m_calls;
    std::optional<int64_t> m_frozen;
    std::function<void()> m_hook;
};
