#include <cstring>
#include <string>

#include "DorvelFileManager.h"
#include "ListingCache.h"
#include "QDV_Procedure3.h"
#include "SharePaths.h"
#include "Xdr.h"

// The cookie of an entry is its position in the host's order plus one, so the next call resumes
// at the entry after it. The names come through the listing cache: a listing read in pieces is
// one walk of the host's folder, and its pieces one picture of it.

namespace {

constexpr uint32_t kReadDirEntries = 131;
constexpr uint32_t kReadDirPlusEntries = 10;

constexpr uint32_t kPostOpAttrSize = 4 + 84;
constexpr uint32_t kPostOpHandleSize = 4 + 4 + 64;
// status, dir_attributes, cookieverf, the closing FALSE and eof.
constexpr uint32_t kListingFrame = 4 + kPostOpAttrSize + 8 + 4 + 4;

enum class ListingEnd { kEnd, kMore, kTooSmall, kFailed };

// The names of one reply, where the listing cache holds them: room for the larger window on the
// stack, so that a call allocates nothing for it.
struct WindowNames {
    ListedName at[kReadDirEntries];
    uint32_t count = 0;
};

struct ListingWindow {
    uint32_t start = 0;   // position of the first entry to answer
    uint32_t limit = 0;   // entries at most
    uint32_t budget = 0;  // bytes the entries may take
    bool plus = false;
};

// Bytes of one entry3 / entryplus3 on the wire, its "follows" word included.
uint32_t EntrySize(std::string_view name, bool plus) {
    uint32_t length = static_cast<uint32_t>(name.size());
    uint32_t size = 4 + 8 + 4 + length + PadLength(length) + 8;
    return plus ? size + kPostOpAttrSize + kPostOpHandleSize : size;
}

// The names of the window, in the host's order. READDIR looks one entry past a full window to
// tell the client whether the listing ends there; READDIRPLUS stops at its tenth entry. The
// names stay where the listing cache holds them while the call writes them out. Where the host's
// walk failed, the names before the failure go out without an end of the listing, and a window
// that starts at the failure fails with it.
ListingEnd CollectNames(const FolderListing& listing, const ListingWindow& window,
                        WindowNames& names) {
    uint32_t budget = window.budget;
    for (uint32_t position = window.start;; ++position) {
        std::optional<ListedName> name = listing.At(position);
        if (!name && listing.Error() != hostfs::HostError::kNone) {
            return names.count == 0 ? ListingEnd::kFailed : ListingEnd::kMore;
        }
        if (!name) return ListingEnd::kEnd;
        uint32_t size = EntrySize(name->name, window.plus);
        if (names.count == window.limit || size > budget) {
            return names.count == 0 ? ListingEnd::kTooSmall : ListingEnd::kMore;
        }
        budget -= size;
        names.at[names.count++] = *name;
        if (window.plus && names.count == window.limit) return ListingEnd::kMore;
    }
}

// The folder was found inside a share at the start of the call, and an entry that is neither a
// link nor a step to the folder itself or above lies where its folder does: resolving it on the
// host again would only repeat the folder's resolution, once for every entry.
bool LiesWithItsFolder(const ListedName& entry) {
    return !entry.mayLeadElsewhere && entry.name != "." && entry.name != "..";
}

ListingWindow WindowOf(uint64_t cookie, uint32_t maxcount, bool plus) {
    ListingWindow window;
    window.start = static_cast<uint32_t>(cookie);
    window.limit = plus ? kReadDirPlusEntries : kReadDirEntries;
    window.budget = maxcount > kListingFrame ? maxcount - kListingFrame : 0;
    window.plus = plus;
    return window;
}

}  // namespace

// The reply never grows beyond what the client said it can take (count for READDIR, maxcount
// for READDIRPLUS), besides the fixed entry limits. A window too small for even one entry is
// NFS3ERR_TOOSMALL: answering no entries and no eof would have the client ask forever.
nfsstat3 CQDV_Procedure3::ListFolder(const nfs_fh3& dir, uint64_t cookie, uint64_t cookieverf,
                                     uint32_t maxcount, bool plus) {
    ClientPath path = PathOf(dir);
    post_op_attr attributes;
    nfsstat3 status = StartQuery(path, attributes);
    WindowNames names;
    const std::string_view folder = path.path;
    ListingEnd end = ListingEnd::kEnd;
    uint64_t verifier = 0;
    if (status == NFS3_OK) {
        const ListingWindow window = WindowOf(cookie, maxcount, plus);
        FolderListing& listing = Listings().Serve(
            {folder, m_pContext->client, window.start, cookieverf}, window.limit + 1);
        end = CollectNames(listing, window, names);
        listing.Answered(window.start + names.count);
        verifier = listing.Verifier();
        if (end == ListingEnd::kTooSmall) status = NFS3ERR_TOOSMALL;
        if (end == ListingEnd::kFailed) status = StatusOf(listing.Error());
    }
    m_pOut->WriteInt32(status);
    Write(*m_pOut, attributes);
    if (status != NFS3_OK) return status;
    m_pOut->WriteInt64(verifier);
    uint64_t next = static_cast<uint32_t>(cookie);
    for (uint32_t i = 0; i < names.count; ++i) WriteEntry(folder, names.at[i], ++next, plus);
    WriteBool(*m_pOut, false);
    WriteBool(*m_pOut, end == ListingEnd::kEnd);
    return status;
}

// Every listed name gets a table entry, so that its fileid stays the same from call to call.
// An entry that leads out of the shares (a symbolic link) is listed by name alone, as the
// attributes and handle would be those of what lies outside (RFC 1813 3.3.17 lets both go).
void CQDV_Procedure3::WriteEntry(std::string_view folder, const ListedName& entry, uint64_t cookie,
                                 bool plus) {
    const PathText path = ListedPath(folder, entry.name);
    // One table step gives both the fileid and the handle.
    FileEntry* row = FileManager().FindOrAdd(path);
    const uint32_t fileid = CDorvelFileManager::IndexOf(row);
    entryplus3 listed;
    listed.entry = entry3{fileid, entry.name, cookie};
    WriteBool(*m_pOut, true);
    if (!plus) {
        Write(*m_pOut, listed.entry);
        return;
    }
    const bool inside = LiesWithItsFolder(entry) || LiesInShare(path);
    listed.name_attributes = PostOpAttributes(
        ClientPath{path, inside ? PathOutcome::kFound : PathOutcome::kStale, fileid});
    listed.name_handle.handle_follows = inside;
    if (inside) std::memcpy(listed.name_handle.handle.Data(), row->pHandle.get(), nfs_fh3::kSize);
    Write(*m_pOut, listed);
}

nfsstat3 CQDV_Procedure3::ProcReadDir() {
    READDIR3args args;
    Decode(args);
    return ListFolder(args.dir, args.cookie, args.cookieverf, args.count, false);
}

// The dircount is not needed: maxcount bounds the reply, names and all.
nfsstat3 CQDV_Procedure3::ProcReadDirPlus() {
    READDIRPLUS3args args;
    Decode(args);
    return ListFolder(args.dir, args.cookie, args.cookieverf, args.maxcount, true);
}
