#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HostFs.h"

// One entry of a listing: its stored name, and whether it may lead elsewhere than into its folder
// (IListing::MayLeadElsewhere). The name lies in the listing cache: valid until its next call.
struct ListedName {
    std::string_view name;
    bool mayLeadElsewhere = true;
};

// What a READDIR or READDIRPLUS asks of the listing cache.
struct ListingCall {
    std::string_view folder;
    std::string_view client;  // the caller's address
    uint32_t position = 0;    // of the first entry to answer: the cookie (0 starts a listing)
    uint64_t verifier = 0;    // the cookie verifier the client sent; version 2 has none (0)
};

// The names of one listing of a folder, read from the host when the listing started, in the
// host's order.
class FolderListing {
  public:
    // Sent with every reply of the listing and back with every continuation (RFC 1813 3.3.16):
    // it tells the listing apart from every other of this process. Never 0.
    uint64_t Verifier() const { return m_nVerifier; }
    // The entry at `position`, or nothing past the end (also when the host could not list the
    // folder). Only the positions the cache was asked to have at hand are answered.
    std::optional<ListedName> At(uint32_t position) const;
    // Why the walk that read the names failed before the end of the folder (kNone when it did
    // not): past the last name then lies no end of the listing but this failure.
    hostfs::HostError Error() const { return m_error; }
    // Where the client is to go on: the position after the last entry answered.
    void Answered(uint32_t next) { m_nNext = next; }

  private:
    friend class ListingCache;
    struct Mark {
        uint32_t end;  // where the name ends in m_names
        bool mayLeadElsewhere;
    };

    bool Continues(const ListingCall& call) const;
    bool Holds(uint32_t first, uint32_t count) const;
    bool Fill(uint32_t first, uint32_t count);
    void Clear();
    size_t Bytes() const;

    std::string m_folder;
    std::string m_client;
    uint64_t m_nVerifier = 0;
    bool m_bKept = false;
    uint64_t m_nLastUse = 0;
    uint32_t m_nAsked = 0;  // the first position of the last call
    uint32_t m_nNext = 0;   // the position after its last entry answered
    // The names from position m_nFirst on, one after the other; m_bEnds when the host's walk
    // ended after them.
    uint32_t m_nFirst = 0;
    bool m_bEnds = false;
    hostfs::HostError m_error = hostfs::HostError::kNone;
    std::string m_names;
    std::vector<Mark> m_marks;
};

// The names of the few listings read last, so that a listing read in pieces costs one walk of the
// host's folder, not one per piece.
//
// Key: a listing that starts (position 0) is always read from the host, whole, within that call,
// and kept under a new cookie verifier; only a call that continues it is answered from what it
// kept: one with its verifier for that folder, or, from a client that sends no verifier (version
// 2 has none; some clients send 0), one of the same client and folder at the position where the
// listing's last reply ended or began (a resend). So the pages of one listing make one
// consistent picture of the folder, and every new listing is fresh, on every file system and
// with no time to trust. Anything else is a new listing, read from the host from its position.
// Bound: at most kListings listings, each with at most kBytesPerListing of names and marks (the
// containers may have grown into as much again): 16 MiB at the very most. A folder whose names
// take more keeps the first of them; a continuation past them walks the host's folder again from
// its start and keeps the names from its position on, which are then the folder as it is. A
// folder of N names of which the bound holds W is walked about N / W times, each walk reading up
// to where the client has come to.
// Staleness: a continuation sees the folder as it was when its listing started, however long ago.
// Never: answers a listing's start from anything kept; keeps a walk that failed, at its start or
// midway (only the whole folder, or its names up to the bound, is kept); leaves a walk of
// the host open after the call that made it (a find handle on Windows keeps Explorer from
// renaming or removing the folder and a USB drive from being removed; a directory stream keeps a
// Linux disk busy).
// Served under the server's call lock, like the handle table: no lock of its own.
class ListingCache {
  public:
    static constexpr size_t kListings = 4;
    static constexpr size_t kBytesPerListing = size_t{2} << 20;

    ListingCache();
    ListingCache(const ListingCache&) = delete;
    ListingCache& operator=(const ListingCache&) = delete;

    // The listing that `call` starts or continues, with the entries from call.position up to
    // `count` of them at hand; valid until the next call of Serve or Forget.
    FolderListing& Serve(const ListingCall& call, uint32_t count);
    // Drops every kept listing: when the server stops.
    void Forget();
    size_t KeptBytes() const;

  private:
    FolderListing* Continued(const ListingCall& call);
    FolderListing& Start(const ListingCall& call, uint32_t count);
    FolderListing& FreeSlot();

    std::vector<FolderListing> m_listings;
    uint64_t m_nVerifier;
    uint64_t m_nUses = 0;
};

// The cache of the process.
ListingCache& Listings();
