#include <algorithm>
#include <string>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "QDV_Procedure3.h"
#include "ReplyData.h"
#include "ShareEvents.h"
#include "Xdr.h"

using hostfs::OpenMode;

namespace {

constexpr char kIoCaption[] = "File I/O Error";
constexpr char kReadFailed[] = "File Reading operation failed ! ";
constexpr char kWriteFailed[] = "File Writing operation failed ! ";
constexpr char kCreateCaption[] = "File Create Error";
constexpr char kCreateFailed[] = "File Creation operation failed ! ";

// Every WRITE is on the host, its file closed, before the reply, so it answers FILE_SYNC: no
// client ever holds data that a restart of ours could lose, and the verifier never has to change
// (RFC 1813 3.3.7, 3.3.21).
constexpr uint64_t kWriteVerifier = 0;

// The person at the computer hears of the failure without the server waiting for them; the
// client learns it from the status (RFC 1813 2.6: NFS3ERR_IO for a hard error of the host).
nfsstat3 HostFailure(const char* text, const char* caption) {
    ShareEvents().NotifyUser(text, caption);
    return NFS3ERR_IO;
}

// Status, post_op_attr with its attributes, count, eof and the data's length.
constexpr uint32_t kReadHead = 4 + 4 + 84 + 4 + 4 + 4;

// The server keeps no file open between calls: each call opens, works and closes. The opens
// keep other programs out meanwhile.
constexpr bool kExclusiveOpens = true;

// The reply's wcc_data carries no attributes, so none are taken.
bool WriteHostFile(const ClientPath& path, uint64_t offset, const uint8_t* data, uint32_t count) {
    return WriteFromCall(path, kExclusiveOpens, offset, data, count, false).done == count;
}

// Not exclusive: a player reading the file must not make the flush fail. Windows flushes only
// through a handle that may write.
bool FlushHostFile(PathView path) {
    return hostfs::Fs().FlushOnce(path);
}

// RFC 1813 3.3.8: GUARDED and EXCLUSIVE never replace what is there; only a retransmitted
// EXCLUSIVE create, known by its verifier, finds its own file again. UNCHECKED creates the file
// or empties the one that is there. A name the host would take for an entry of another spelling
// is never created over: emptying notes.txt for "Notes.TXT" would lose it, and the client's data
// would not land under the name it asked for. The initial attributes are not applied.
nfsstat3 CreateHostFile(PathView path, const createhow3& how, ExclusiveVerifiers& verifiers) {
    const bool exclusive = how.mode != UNCHECKED && how.mode != GUARDED;
    HostMatch match = MatchOnHost(path);
    if (match == HostMatch::kOtherSpelling) return NFS3ERR_EXIST;
    if (match == HostMatch::kExact && how.mode != UNCHECKED) {
        return exclusive && verifiers.Keeps(path, how.verf) ? NFS3_OK : NFS3ERR_EXIST;
    }
    if (hostfs::Fs().Open(path, OpenMode::kCreateAlways, true) == nullptr) return NFS3ERR_IO;
    if (exclusive) verifiers.Store(path, how.verf);
    return NFS3_OK;
}

}  // namespace

// RFC 1813 3.3.6. A count beyond what one reply may carry is served short with eof FALSE, and
// the client asks for the rest.
nfsstat3 CQDV_Procedure3::ProcRead() {
    READ3args args;
    Read(*m_pIn, args);
    ClientPath path = PathOf(args.file);
    nfsstat3 status = CheckPath(path);
    ReplyData read;
    if (status == NFS3_OK) {
        read = ReadIntoReply(*m_pOut, kReadHead, path, args.offset, std::min(args.count, kRtMax),
                             kExclusiveOpens);
        if (read.done < 0) status = HostFailure(kReadFailed, kIoCaption);
    }
    READ3resok result;
    result.file_attributes = PostOpAttributes(path, read);
    if (status == NFS3_OK) {
        result.count = static_cast<uint32_t>(read.done);
        result.eof = args.count == 0 || read.done < read.wanted;
        result.data = OpaqueView{read.data, result.count};
    }
    return Answer(status, result, result.file_attributes);
}

// A file that could not be opened, or was not found, still gets the attributes its path has.
post_op_attr CQDV_Procedure3::PostOpAttributes(const ClientPath& path,
                                               const HostTransfer& transfer) {
    if (!transfer.hasAttributes) return PostOpAttributes(path);
    post_op_attr attributes;
    attributes.attributes_follow = true;
    attributes.attributes = ToFattr(transfer.attributes);
    return attributes;
}

// RFC 1813 3.3.7. The stable argument does not matter: see kWriteVerifier. A count beyond the
// data sent is an argument error, and nothing is written.
nfsstat3 CQDV_Procedure3::ProcWrite() {
    WRITE3args args;
    Read(*m_pIn, args);
    ClientPath path = PathOf(args.file);
    nfsstat3 status = CheckPath(path);
    if (status == NFS3_OK && args.count > args.data.length) status = NFS3ERR_INVAL;
    if (status == NFS3_OK && !WriteHostFile(path, args.offset, args.data.data, args.count)) {
        status = HostFailure(kWriteFailed, kIoCaption);
    }
    WRITE3resok result;
    result.count = args.count;
    result.committed = FILE_SYNC;
    result.verf = kWriteVerifier;
    return Answer(status, result, result.file_wcc);
}

// A folder handle that names nothing is a failed creation like any refusal of the host.
nfsstat3 CQDV_Procedure3::ProcCreate() {
    CREATE3args args;
    Read(*m_pIn, args);
    ClientPath path = PathOf(args.where);
    nfsstat3 status =
        path.Found() ? CreateHostFile(path.path, args.how, m_verifiers) : NewNameRefusal(path);
    if (status == NFS3ERR_IO) status = HostFailure(kCreateFailed, kCreateCaption);
    WriteNewEntry(status, path, wcc_data{});
    return status;
}

// RFC 1813 3.3.21. Real clients send COMMIT when they close a file they wrote, whatever WRITE
// answered; it puts the file's data on the disk. The whole file is flushed, whatever the range.
nfsstat3 CQDV_Procedure3::ProcCommit() {
    COMMIT3args args;
    Read(*m_pIn, args);
    ClientPath path = PathOf(args.file);
    nfsstat3 status = CheckPath(path);
    if (status == NFS3_OK && !FlushHostFile(path.path)) status = NFS3ERR_IO;
    COMMIT3resok result;
    result.verf = kWriteVerifier;
    return Answer(status, result, result.file_wcc);
}
