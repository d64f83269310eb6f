#include "ListingCache.h"

#include <ctime>
#include <utility>

namespace {

// What one kept name costs: its bytes and what holds them.
size_t Cost(const ListedName& entry) {
    return sizeof(ListedName) + entry.name.size();
}

FolderStamp StampOf(const hostfs::FileStatus& status) {
    FolderStamp stamp;
    stamp.mtime = status.mtime;
    stamp.ctime = status.ctime;
    stamp.size = status.size;
    stamp.links = status.links;
    return stamp;
}

int64_t HostClock() {
    return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace

bool FolderStamp::operator==(const FolderStamp& other) const {
    return mtime == other.mtime && ctime == other.ctime && size == other.size &&
           links == other.links;
}

const ListedName* FolderNames::At(uint32_t position) {
    if (position < m_nFirst) Restart();
    while (position - m_nFirst >= m_names.size()) {
        if (!ReadNext()) return nullptr;
    }
    return &m_names[position - m_nFirst];
}

void FolderNames::Start(std::string_view folder, bool stamped, const FolderStamp& stamp,
                        int64_t now) {
    m_folder = folder;
    m_bStamped = stamped;
    m_stamp = stamp;
    m_nTaken = now;
    Restart();
}

void FolderNames::Restart() {
    Close();
    m_pWalk = hostfs::Fs().List(m_folder);
}

// Past the byte bound the oldest names go, but never the one just read.
bool FolderNames::ReadNext() {
    ListedName entry;
    if (m_pWalk == nullptr) return false;
    if (!m_pWalk->Next(entry.name)) {
        m_pWalk.reset();
        return false;
    }
    entry.mayLeadElsewhere = m_pWalk->MayLeadElsewhere();
    m_nBytes += Cost(entry);
    m_names.push_back(std::move(entry));
    while (m_nBytes > ListingCache::kBytesPerFolder && m_names.size() > 1) {
        m_nBytes -= Cost(m_names.front());
        m_names.pop_front();
        ++m_nFirst;
    }
    return true;
}

void FolderNames::Close() {
    m_pWalk.reset();
    m_names.clear();
    m_nFirst = 0;
    m_nBytes = 0;
}

ListingCache::ListingCache(Clock clock) : m_clock(clock) {
    m_folders.reserve(kFolders);
}

// The clock is read before the stamp, and the stamp before the walk begins: a change after the
// stamp was read either shows in the walk or moves the stamp past the one kept.
FolderNames& ListingCache::Of(std::string_view folder) {
    const int64_t now = m_clock();
    hostfs::FileStatus status;
    m_statusPath.assign(folder);
    const bool stamped = hostfs::Fs().Status(m_statusPath, status);
    const FolderStamp stamp = StampOf(status);
    return Of(folder, now, stamped ? &stamp : nullptr);
}

FolderNames& ListingCache::Of(std::string_view folder, int64_t now, const FolderStamp* stamp) {
    FolderNames& names = Slot(folder);
    names.m_nLastUse = ++m_nUses;
    if (!Trusted(names, stamp, now)) {
        names.Start(folder, stamp != nullptr, stamp != nullptr ? *stamp : FolderStamp{}, now);
    }
    return names;
}

// A clock that went back trusts nothing it kept.
bool ListingCache::Trusted(const FolderNames& kept, const FolderStamp* stamp, int64_t now) const {
    return stamp != nullptr && kept.m_bStamped && kept.m_stamp == *stamp &&
           stamp->mtime + kSettling <= kept.m_nTaken && stamp->ctime + kSettling <= kept.m_nTaken &&
           kept.m_nTaken <= now && now - kept.m_nTaken < kLifetime;
}

// The folder's own slot, else a free one, else the one used longest ago.
FolderNames& ListingCache::Slot(std::string_view folder) {
    FolderNames* oldest = nullptr;
    for (FolderNames& names : m_folders) {
        if (names.m_folder == folder) return names;
        if (oldest == nullptr || names.m_nLastUse < oldest->m_nLastUse) oldest = &names;
    }
    if (m_folders.size() < kFolders) {
        m_folders.emplace_back();
        return m_folders.back();
    }
    oldest->m_bStamped = false;
    return *oldest;
}

void ListingCache::Forget() {
    m_folders.clear();
}

size_t ListingCache::KeptBytes() const {
    size_t bytes = 0;
    for (const FolderNames& names : m_folders) bytes += names.m_nBytes;
    return bytes;
}

ListingCache& Listings() {
    static ListingCache cache(HostClock);
    return cache;
}
