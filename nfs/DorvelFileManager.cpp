#include "DorvelFileManager.h"

#include <chrono>
#include <cstring>
#include <random>
#include <utility>

#include "HostFs.h"

struct CDorvelFileManager::FileBlock {
    FileEntry entries[kBlockEntries];
    FileBlock* pNext = nullptr;
};

struct CDorvelFileManager::RecentNode {
    FileEntry* pEntry = nullptr;
    RecentNode* pNext = nullptr;
};

namespace {

// A random start makes two runs of the program differ; after that every reset moves on, never
// back to the stamp before it. Zero is left out, so that a handle of zeros names nothing.
uint32_t NextStamp(uint32_t previous) {
    static std::mt19937 generator(
        std::random_device{}() ^
        static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    uint32_t stamp = generator();
    while (stamp == previous || stamp == 0) stamp = generator();
    return stamp;
}

void PutWord(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetWord(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16) |
           (uint32_t{bytes[3]} << 24);
}

}  // namespace

CDorvelFileManager::CDorvelFileManager() : m_nStamp(NextStamp(0)) {
    m_pFirstBlock = m_pLastBlock = new FileBlock;
    m_blocks.push_back(m_pFirstBlock);
}

CDorvelFileManager::~CDorvelFileManager() {
    Release();
}

void CDorvelFileManager::Release() {
    m_index.clear();
    while (m_pRecent != nullptr) delete std::exchange(m_pRecent, m_pRecent->pNext);
    while (m_pFirstBlock != nullptr) delete std::exchange(m_pFirstBlock, m_pFirstBlock->pNext);
    m_pLastBlock = nullptr;
    m_blocks.clear();
    m_nCount = 0;
}

void CDorvelFileManager::Reset() {
    Release();
    m_pFirstBlock = m_pLastBlock = new FileBlock;
    m_blocks.push_back(m_pFirstBlock);
    m_nStamp = NextStamp(m_nStamp);
}

uint32_t CDorvelFileManager::IndexOf(const FileEntry* entry) {
    return GetWord(entry->pHandle.get());
}

// The recent list first, as a player tends to ask about the same few paths over and over; then
// the index, which gives the lowest-numbered entry with this path, as a scan in index order would.
FileEntry* CDorvelFileManager::Find(std::string_view path) {
    FileEntry* found = nullptr;
    for (RecentNode* node = m_pRecent; node != nullptr && found == nullptr; node = node->pNext) {
        FileEntry* entry = node->pEntry;
        if (entry->nPathLength == path.size() &&
            std::memcmp(entry->pszPath.get(), path.data(), path.size()) == 0) {
            found = entry;
        }
    }
    if (found == nullptr) found = FindIndexed(path);
    if (found != nullptr) MoveToFront(found);
    return found;
}

FileEntry* CDorvelFileManager::FindIndexed(std::string_view path) {
    FileEntry* lowest = nullptr;
    auto range = m_index.equal_range(path);
    for (auto it = range.first; it != range.second; ++it) {
        if (lowest == nullptr || IndexOf(it->second) < IndexOf(lowest)) lowest = it->second;
    }
    return lowest;
}

void CDorvelFileManager::MoveToFront(FileEntry* entry) {
    if (entry->bRecent) {
        RecentNode* previous = nullptr;
        RecentNode* node = m_pRecent;
        while (node->pEntry != entry) previous = std::exchange(node, node->pNext);
        if (previous == nullptr) return;
        previous->pNext = node->pNext;
        node->pNext = m_pRecent;
        m_pRecent = node;
        return;
    }
    entry->bRecent = 1;
    RecentNode* last = m_pRecent;
    uint32_t walked = 1;
    while (last != nullptr && last->pNext != nullptr && walked < kRecentLimit - 1) {
        last = last->pNext;
        ++walked;
    }
    RecentNode* node;
    if (last != nullptr && last->pNext != nullptr) {
        node = last->pNext;  // the tenth: it drops off the list and carries the new entry
        last->pNext = nullptr;
        node->pEntry->bRecent = 0;
    } else {
        node = new RecentNode;
    }
    node->pEntry = entry;
    node->pNext = m_pRecent;
    m_pRecent = node;
}

FileEntry* CDorvelFileManager::Add(std::string_view path) {
    auto handle = std::make_unique<uint8_t[]>(kHandleSize);
    PutWord(&handle[0], m_nCount);
    PutWord(&handle[4], m_nStamp);
    if (m_nCount != 0 && m_nCount % kBlockEntries == 0) {
        m_pLastBlock->pNext = new FileBlock;
        m_pLastBlock = m_pLastBlock->pNext;
        m_blocks.push_back(m_pLastBlock);
    }
    FileEntry* entry = &m_pLastBlock->entries[m_nCount % kBlockEntries];
    SetEntryPath(entry, path);
    entry->pHandle = std::move(handle);
    entry->bRecent = 0;
    ++m_nCount;
    return entry;
}

// The entry's own copy of the path is also its key in the index.
void CDorvelFileManager::SetEntryPath(FileEntry* entry, std::string_view path) {
    entry->pszPath = std::make_unique<char[]>(path.size() + 1);
    std::memcpy(entry->pszPath.get(), path.data(), path.size());
    entry->pszPath[path.size()] = '\0';
    entry->nPathLength = static_cast<uint32_t>(path.size());
    m_index.emplace(std::string_view(entry->pszPath.get(), entry->nPathLength), entry);
}

void CDorvelFileManager::UnindexEntry(FileEntry* entry) {
    auto range = m_index.equal_range(std::string_view(entry->pszPath.get(), entry->nPathLength));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == entry) {
            m_index.erase(it);
            return;
        }
    }
}

FileEntry* CDorvelFileManager::FindOrAdd(std::string_view path) {
    FileEntry* entry = Find(path);
    return entry != nullptr ? entry : Add(path);
}

const uint8_t* CDorvelFileManager::GetHandle(std::string_view path) {
    return FindOrAdd(path)->pHandle.get();
}

uint32_t CDorvelFileManager::GetFileId(std::string_view path) {
    return GetWord(GetHandle(path));
}

FileEntry* CDorvelFileManager::GetEntry(uint32_t index) {
    if (index >= m_nCount) return nullptr;
    return &m_blocks[index / kBlockEntries]->entries[index % kBlockEntries];
}

const char* CDorvelFileManager::GetPath(const uint8_t* handle, uint32_t length) {
    FileEntry* entry = EntryOf(handle, length);
    return entry != nullptr ? entry->pszPath.get() : nullptr;
}

FileEntry* CDorvelFileManager::EntryOf(const uint8_t* handle, uint32_t length) {
    if (length < kNamingBytes || GetWord(handle + 4) != m_nStamp) return nullptr;
    return GetEntry(GetWord(handle));
}

// Found before the move, the moved entry is the first on the recent list after it: it answers
// for the new path ahead of an older entry that may hold that path too.
hostfs::HostError CDorvelFileManager::Rename(PathView oldPath, PathView newPath) {
    Find(oldPath);
    hostfs::HostError error = hostfs::Fs().Move(oldPath, newPath);
    if (error == hostfs::HostError::kNone) MoveEntries(oldPath, newPath);
    return error;
}

// Every entry is looked at: moves are rare, and a folder's entries are spread over the table in
// the order the client met them.
void CDorvelFileManager::MoveEntries(std::string_view oldPath, std::string_view newPath) {
    const char separator = hostfs::Fs().Separator();
    uint32_t index = 0;
    for (FileBlock* block = m_pFirstBlock; block != nullptr; block = block->pNext) {
        for (uint32_t i = 0; i < kBlockEntries && index < m_nCount; ++i, ++index) {
            FileEntry* entry = &block->entries[i];
            std::string_view path(entry->pszPath.get(), entry->nPathLength);
            if (path.compare(0, oldPath.size(), oldPath) != 0 ||
                (path.size() > oldPath.size() && path[oldPath.size()] != separator)) {
                continue;
            }
            PathText moved(newPath);
            moved.Append(path.substr(oldPath.size()));
            UnindexEntry(entry);
            SetEntryPath(entry, moved);
        }
    }
}

CDorvelFileManager& FileManager() {
    static CDorvelFileManager table;
    return table;
}

namespace {

std::string_view LastComponent(std::string_view path, char separator) {
    return path.substr(path.rfind(separator) + 1);
}

// A path the host settles without an entry to find for its last component.
bool SettledByHost(std::string_view path) {
    return !path.empty() && path.back() == '.' && hostfs::Fs().SettlesTrailingDots();
}

}  // namespace

HostMatch MatchOnHost(PathView path) {
    hostfs::IHostFs& fs = hostfs::Fs();
    PathText stored;
    if (path.empty() || !fs.FindStoredName(path, stored)) return HostMatch::kNone;
    return stored.view() == LastComponent(path, fs.Separator()) ? HostMatch::kExact
                                                                : HostMatch::kOtherSpelling;
}

bool PathExists(PathView path) {
    return SettledByHost(path) || MatchOnHost(path) == HostMatch::kExact;
}

hostfs::Presence ExistingStatus(PathView path, hostfs::FileStatus& status) {
    using hostfs::Presence;
    hostfs::IHostFs& fs = hostfs::Fs();
    if (SettledByHost(path)) {
        return fs.Status(path, status) == hostfs::HostError::kNone ? Presence::kWithStatus
                                                                   : Presence::kNameOnly;
    }
    if (path.empty()) return Presence::kNone;
    PathText stored;
    Presence presence = fs.FindWithStatus(path, stored, status);
    if (presence != Presence::kNone && stored.view() != LastComponent(path, fs.Separator())) {
        return Presence::kNone;
    }
    return presence;
}
