#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "HostFs.h"

// One row of the handle table.
struct FileEntry {
    std::unique_ptr<char[]> pszPath;  // the host path exactly as handed in
    uint32_t nPathLength = 0;
    std::unique_ptr<uint8_t[]> pHandle;  // the 64-byte handle record
    uint8_t bRecent = 0;                 // 1 while on the recent list
};

// Turns host paths into file handles and back. A handle carries the number of its table entry
// (bytes 0 to 3 of a 64-byte record, least significant first) and the table's stamp (bytes 4 to
// 7); the path lives only here. Entries are made the first time a path is met, keep their number
// while the server runs, and are all forgotten when it stops. The stamp changes with every reset
// and differs from one run of the program to the next, so a handle kept by a client across a
// restart is stale rather than the handle of whatever path took its number. Calls are served
// one at a time under the server's call lock, which is what protects the table.
class CDorvelFileManager {
  public:
    static constexpr uint32_t kHandleSize = 64;
    // Index and stamp: what a handle must carry to name an entry.
    static constexpr uint32_t kNamingBytes = 8;
    static constexpr uint32_t kBlockEntries = 2048;
    static constexpr uint32_t kRecentLimit = 10;

    CDorvelFileManager();
    ~CDorvelFileManager();
    CDorvelFileManager(const CDorvelFileManager&) = delete;
    CDorvelFileManager& operator=(const CDorvelFileManager&) = delete;

    // The handle record of `path`, made on first use.
    const uint8_t* GetHandle(std::string_view path);
    uint32_t GetFileId(std::string_view path);
    // The path of the entry named by bytes 0 to 3 of `handle`, or null, also when bytes 4 to 7
    // are not this table's stamp. Valid until the entry is renamed or the table reset.
    const char* GetPath(const uint8_t* handle, uint32_t length);
    // The entry whose path GetPath gives, or null.
    FileEntry* EntryOf(const uint8_t* handle, uint32_t length);
    // Moves the host file or folder, met before or not, then gives the new path to its entries
    // and to those of everything below it: the handles a client holds follow the move. Nothing
    // changes when the host refuses.
    hostfs::HostError Rename(PathView oldPath, PathView newPath);
    void Reset();
    uint32_t Stamp() const { return m_nStamp; }

    FileEntry* Find(std::string_view path);
    FileEntry* Add(std::string_view path);
    // Find, else Add: a caller that needs both the fileid and the handle of a path asks once.
    FileEntry* FindOrAdd(std::string_view path);
    // The entry's number: its fileid, and what its handle carries.
    static uint32_t IndexOf(const FileEntry* entry);
    FileEntry* GetEntry(uint32_t index);
    void MoveToFront(FileEntry* entry);
    uint32_t Count() const { return m_nCount; }

  private:
    struct FileBlock;
    struct RecentNode;

    FileEntry* FindIndexed(std::string_view path);
    void MoveEntries(std::string_view oldPath, std::string_view newPath);
    void SetEntryPath(FileEntry* entry, std::string_view path);
    void UnindexEntry(FileEntry* entry);
    void Release();

    FileBlock* m_pFirstBlock = nullptr;
    FileBlock* m_pLastBlock = nullptr;
    // Every block in order, so that a handle finds its entry in one step at any table size.
    std::vector<FileBlock*> m_blocks;
    uint32_t m_nCount = 0;
    RecentNode* m_pRecent = nullptr;
    uint32_t m_nStamp = 0;
    // Path to entry, so that finding a path costs the same with a million entries as with ten.
    // A multimap because a rename may give an entry the path another entry already holds.
    std::unordered_multimap<std::string_view, FileEntry*> m_index;
};

// The one table of the process.
CDorvelFileManager& FileManager();

enum class HostMatch {
    kNone,           // nothing there
    kExact,          // an entry stored under exactly the last component
    kOtherSpelling,  // an entry the host would take for that name: another letter case, an 8.3
                     // alias, trailing dots or blanks dropped (Windows)
};

// What the host finds at `path`.
HostMatch MatchOnHost(PathView path);

// Whether `path` names an existing host file under exactly this name: the host's stored name of
// the last component must match byte for byte (letter case included). Where the host settles
// trailing dots itself (Windows), a path ending in "." is taken to exist ("." and ".." entries,
// drive roots written as D:\.).
bool PathExists(PathView path);

// PathExists and Status of the same path, from one query of the host where it gives both: kNone
// when the path does not exist, kNameOnly when it does but has no status.
hostfs::Presence ExistingStatus(PathView path, hostfs::FileStatus& status);
