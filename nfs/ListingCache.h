#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HostFs.h"

// What a folder's status says about its entries: a create, removal or rename in it moves its
// modification and status-change times (and, on most hosts, its size or link count).
struct FolderStamp {
    int64_t mtime = 0;
    int64_t ctime = 0;
    uint64_t size = 0;
    uint32_t links = 0;

    bool operator==(const FolderStamp& other) const;
};

// One entry of a listing: its stored name, and whether it may lead elsewhere than into its folder
// (IListing::MayLeadElsewhere).
struct ListedName {
    std::string name;
    bool mayLeadElsewhere = true;
};

// The names of one folder in the host's order, read from the host no further than asked. It
// holds the names from some position on and the open walk beyond them, so that a client reading
// the folder in pieces costs one walk of the host's listing, not one per piece.
class FolderNames {
  public:
    // The entry at `position` (counting from 0 in the host's order); null past the end, or when
    // the host cannot list the folder. It stays in place while later positions are read in order:
    // only names far older than a call's few entries make way for new ones.
    const ListedName* At(uint32_t position);

  private:
    friend class ListingCache;

    void Start(std::string_view folder, bool stamped, const FolderStamp& stamp, int64_t now);
    void Restart();
    bool ReadNext();
    void Close();

    std::string m_folder;
    bool m_bStamped = false;
    FolderStamp m_stamp;
    int64_t m_nTaken = 0;  // when the stamp was read, in the host's seconds since 1970
    uint64_t m_nLastUse = 0;
    // The names from position m_nFirst on; the oldest go when they pass the byte bound.
    std::deque<ListedName> m_names;
    uint32_t m_nFirst = 0;
    size_t m_nBytes = 0;
    // Null once the host has reported the end (or could not list at all): nothing stays open for
    // a folder read to its end.
    std::unique_ptr<hostfs::IListing> m_pWalk;
};

// Listings of the few folders read last, so that the pieces of one listing, and a listing asked
// for again soon after, come from one walk of the host's. A kept listing serves only while the
// folder's stamp is what it was when the walk began, and only for a short while; every call
// checks the stamp. Stamps count whole seconds, so a change in the very second of the last one
// would leave the stamp as it was: a listing is trusted only when its folder had been still for
// kSettling seconds when the walk began. Anything else is a walk from the start, as if nothing
// were kept. Entries, order, positions and the end stay those of a fresh walk while the folder is
// unchanged.
//
// Memory: at most kFolders folders, each with at most about kBytesPerFolder of names (a name's
// bytes and the size of its ListedName each) and one open host listing. A folder with more names
// keeps only the last of them and the walk beyond: reading it in order stays one walk; going back
// before the kept names walks again from the start.
//
// Served under the server's call lock, like the handle table: no lock of its own.
class ListingCache {
  public:
    static constexpr size_t kFolders = 4;
    static constexpr size_t kBytesPerFolder = size_t{4} << 20;
    static constexpr int64_t kLifetime = 5;
    static constexpr int64_t kSettling = 2;

    using Clock = int64_t (*)();
    // `clock`: the host's time in seconds since 1970, as the stamps count it.
    explicit ListingCache(Clock clock);
    ListingCache(const ListingCache&) = delete;
    ListingCache& operator=(const ListingCache&) = delete;

    // The names of `folder` as the host lists them now; valid until the next call of Of or Forget.
    FolderNames& Of(std::string_view folder);
    // The same for a caller that has just read the folder's status itself: `now` from Now()
    // before that status, `stamp` made of it (null when the host gave none).
    FolderNames& Of(std::string_view folder, int64_t now, const FolderStamp* stamp);
    int64_t Now() const { return m_clock(); }
    // Drops every kept listing and closes its walk: when our own server changes a folder, and
    // when the server stops.
    void Forget();
    // The bytes of names kept, over all folders.
    size_t KeptBytes() const;

  private:
    bool Trusted(const FolderNames& kept, const FolderStamp* stamp, int64_t now) const;
    FolderNames& Slot(std::string_view folder);

    Clock m_clock;
    // The folder of Of's own status query, its room reused from call to call.
    std::string m_statusPath;
    std::vector<FolderNames> m_folders;
    uint64_t m_nUses = 0;
};

// The cache of the process.
ListingCache& Listings();
