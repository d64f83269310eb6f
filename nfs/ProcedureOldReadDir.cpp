#include <algorithm>
#include <memory>
#include <vector>

#include "DorvelFileManager.h"
#include "QDV_ProcedureOld.h"
#include "SharePaths.h"

namespace {

// What readdirres holds besides the entries: status, the FALSE that ends the list, eof.
constexpr uint64_t kReadDirFrame = 12;

// TRUE, fileid, the name's length, bytes and padding, cookie.
uint64_t EntrySize(const std::string& name) {
    return 16 + name.size() + PadLength(static_cast<uint32_t>(name.size()));
}

// A folder the host cannot list has no entries to report.
std::vector<std::string> ListNames(const char* folder) {
    std::vector<std::string> names;
    std::unique_ptr<hostfs::IListing> listing = hostfs::Fs().List(folder);
    std::string name;
    while (listing != nullptr && listing->Next(name)) names.push_back(name);
    return names;
}

struct Window {
    size_t first = 0;
    size_t end = 0;
};

// RFC 1094 2.2.17: count bounds the whole readdirres. Cookies are ordinals from 1, so a cookie
// names the entry to resume after. NFS_MAXDATA caps the count, which keeps every reply well
// inside one UDP datagram, and a reply carries at least one entry, so that a count too small for
// a long name cannot stall the client on the same cookie.
Window ReplyWindow(const std::vector<std::string>& names, uint32_t cookie, uint32_t count) {
    const uint64_t budget = std::min(count, NFS_MAXDATA);
    Window window;
    window.first = std::min<size_t>(cookie, names.size());
    uint64_t used = kReadDirFrame;
    for (window.end = window.first; window.end < names.size(); ++window.end) {
        used += EntrySize(names[window.end]);
        if (used > budget && window.end > window.first) break;
    }
    return window;
}

// Every listed entry gets a table entry, so its fileid stays what GETATTR reports for it.
readdirokres ListEntries(const char* folder, const readdirargs& args) {
    std::vector<std::string> names = ListNames(folder);
    Window window = ReplyWindow(names, args.cookie, args.count);
    readdirokres result;
    for (size_t i = window.first; i < window.end; ++i) {
        entry item;
        item.fileid = FileManager().GetFileId(ListedPath(folder, names[i]));
        item.name = names[i];
        item.cookie = static_cast<uint32_t>(i + 1);
        result.entries.push_back(item);
    }
    result.eof = window.end == names.size();
    return result;
}

}  // namespace

nfsstat CQDV_ProcedureOld::ProcReadDir() {
    readdirargs args;
    Read(*m_pIn, args);
    ClientPath folder = PathOf(args.dir);
    nfsstat status = StatusOf(ExistingOutcome(folder));
    readdirokres result;
    if (status == NFS_OK) result = ListEntries(folder.path, args);
    m_pOut->WriteInt32(status);
    if (status == NFS_OK) Write(*m_pOut, result);
    return status;
}
