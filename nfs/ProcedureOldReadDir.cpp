#include <algorithm>
#include <string_view>

#include "DorvelFileManager.h"
#include "ListingCache.h"
#include "QDV_ProcedureOld.h"
#include "SharePaths.h"

namespace {

// What readdirres holds besides the entries: status, the FALSE that ends the list, eof.
constexpr uint64_t kReadDirFrame = 12;

// TRUE, fileid, the name's length, bytes and padding, cookie.
uint64_t EntrySize(std::string_view name) {
    return 16 + name.size() + PadLength(static_cast<uint32_t>(name.size()));
}

// The most entries a reply can hold: all of the shortest name.
constexpr uint32_t kMostEntries = (NFS_MAXDATA - kReadDirFrame) / 20;

// RFC 1094 2.2.17: count bounds the whole readdirres. Cookies are ordinals from 1, so a cookie
// names the entry to resume after. NFS_MAXDATA caps the count, which keeps every reply well
// inside one UDP datagram, and a reply carries at least one entry, so that a count too small for
// a long name cannot stall the client on the same cookie. Every listed entry gets a table entry,
// so its fileid stays what GETATTR reports for it. A folder the host cannot list has no entries.
// Version 2 has no cookie verifier: the listing cache knows a continuation by its client and
// position. The host's reason for a walk that failed comes back.
hostfs::HostError ListEntries(std::string_view folder, const char* client, const readdirargs& args,
                              readdirokres& result) {
    FolderListing& listing = Listings().Serve({folder, client, args.cookie, 0}, kMostEntries + 1);
    const uint64_t budget = std::min(args.count, NFS_MAXDATA);
    uint64_t used = kReadDirFrame;
    uint32_t position = args.cookie;
    std::optional<ListedName> listed;
    for (; (listed = listing.At(position)); ++position) {
        used += EntrySize(listed->name);
        if (used > budget && !result.entries.empty()) break;
        entry item;
        item.fileid = FileManager().GetFileId(ListedPath(folder, listed->name));
        item.name = listed->name;
        item.cookie = position + 1;
        result.entries.push_back(item);
    }
    listing.Answered(position);
    // Past the last name lies the end of the folder, or a failure of the host's walk, which the
    // names before it do not tell and a reply of none does.
    result.eof = !listed && listing.Error() == hostfs::HostError::kNone;
    return !listed && result.entries.empty() ? listing.Error() : hostfs::HostError::kNone;
}

}  // namespace

nfsstat CQDV_ProcedureOld::ProcReadDir() {
    readdirargs args;
    ClientPath folder = PathOf(Decode(args).dir);
    nfsstat status = StatusOf(ExistingOutcome(folder));
    readdirokres result;
    if (status == NFS_OK) {
        status = StatusOf(ListEntries(folder.path, m_pContext->client, args, result));
    }
    m_pOut->WriteInt32(status);
    if (status == NFS_OK) Write(*m_pOut, result);
    return status;
}
