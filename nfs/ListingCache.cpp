#include "ListingCache.h"

#include <chrono>
#include <memory>
#include <random>

#include "HostFs.h"

namespace {

// A random start makes the verifiers of two runs of the program differ.
uint64_t FirstVerifier() {
    std::mt19937_64 generator(
        std::random_device{}() ^
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    return generator();
}

}  // namespace

std::optional<ListedName> FolderListing::At(uint32_t position) const {
    if (position < m_nFirst || position - m_nFirst >= m_marks.size()) return std::nullopt;
    const size_t index = position - m_nFirst;
    const uint32_t begin = index == 0 ? 0 : m_marks[index - 1].end;
    const Mark& mark = m_marks[index];
    return ListedName{std::string_view(m_names).substr(begin, mark.end - begin),
                      mark.mayLeadElsewhere};
}

// Without a verifier of ours, only the very next piece (or the last one again) is taken for a
// continuation: a client that comes back later at some other position gets the folder as it is.
bool FolderListing::Continues(const ListingCall& call) const {
    if (!m_bKept || m_folder != call.folder) return false;
    if (call.verifier != 0) return call.verifier == m_nVerifier;
    return m_client == call.client && (call.position == m_nNext || call.position == m_nAsked);
}

bool FolderListing::Holds(uint32_t first, uint32_t count) const {
    return first >= m_nFirst &&
           (m_bEnds || uint64_t{first} + count <= uint64_t{m_nFirst} + m_marks.size());
}

// Walks the host's folder from its start and keeps the names from `first` on, as many as the
// bound allows but at least `count`, so that one call always has the entries it asked for. The
// walk is closed again before this returns; false when it failed, at its start or midway.
bool FolderListing::Fill(uint32_t first, uint32_t count) {
    Clear();
    m_nFirst = first;
    std::unique_ptr<hostfs::IListing> walk = hostfs::Fs().List(m_folder);
    if (walk == nullptr) return false;
    std::string name;
    for (uint32_t position = 0; walk->Next(name); ++position) {
        if (position < first) continue;
        if (m_marks.size() >= count &&
            Bytes() + name.size() + sizeof(Mark) > ListingCache::kBytesPerListing) {
            return true;
        }
        m_names += name;
        m_marks.push_back({static_cast<uint32_t>(m_names.size()), walk->MayLeadElsewhere()});
    }
    m_error = walk->Error();
    if (m_error != hostfs::HostError::kNone) return false;
    m_bEnds = true;
    return true;
}

void FolderListing::Clear() {
    m_names.clear();
    m_marks.clear();
    m_nFirst = 0;
    m_bEnds = false;
    m_error = hostfs::HostError::kNone;
}

size_t FolderListing::Bytes() const {
    return m_names.size() + m_marks.size() * sizeof(Mark);
}

ListingCache::ListingCache() : m_nVerifier(FirstVerifier()) {
    m_listings.reserve(kListings);
}

FolderListing& ListingCache::Serve(const ListingCall& call, uint32_t count) {
    FolderListing* listing = call.position == 0 ? nullptr : Continued(call);
    if (listing != nullptr && !listing->Holds(call.position, count)) {
        listing->m_bKept = listing->Fill(call.position, count);
    }
    if (listing == nullptr) listing = &Start(call, count);
    listing->m_nLastUse = ++m_nUses;
    listing->m_nAsked = listing->m_nNext = call.position;
    return *listing;
}

// A verifier names one listing; without one, the listing the client used last is the likelier.
FolderListing* ListingCache::Continued(const ListingCall& call) {
    FolderListing* continued = nullptr;
    for (FolderListing& listing : m_listings) {
        if (listing.Continues(call) &&
            (continued == nullptr || listing.m_nLastUse > continued->m_nLastUse)) {
            continued = &listing;
        }
    }
    return continued;
}

FolderListing& ListingCache::Start(const ListingCall& call, uint32_t count) {
    FolderListing& listing = FreeSlot();
    listing.m_folder = call.folder;
    listing.m_client = call.client;
    if (++m_nVerifier == 0) ++m_nVerifier;
    listing.m_nVerifier = m_nVerifier;
    listing.m_bKept = listing.Fill(call.position, count);
    return listing;
}

// A slot never used or dropped, else the one used longest ago.
FolderListing& ListingCache::FreeSlot() {
    FolderListing* oldest = nullptr;
    for (FolderListing& listing : m_listings) {
        if (!listing.m_bKept) return listing;
        if (oldest == nullptr || listing.m_nLastUse < oldest->m_nLastUse) oldest = &listing;
    }
    if (m_listings.size() < kListings) return m_listings.emplace_back();
    return *oldest;
}

void ListingCache::Forget() {
    m_listings.clear();
}

size_t ListingCache::KeptBytes() const {
    size_t bytes = 0;
    for (const FolderListing& listing : m_listings) bytes += listing.Bytes();
    return bytes;
}

ListingCache& Listings() {
    static ListingCache cache;
    return cache;
}
