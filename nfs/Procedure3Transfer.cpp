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

// The person at the computer hears of a failure of the host without the server waiting for
// them; the client learns it from the status.
nfsstat3 HostFailure(nfsstat3 status, const char* text, const char* caption) {
    ShareEvents().NotifyUser(text, caption);
    return status;
}

// Status, post_op_attr with its attributes, count, eof and the data's length.
constexpr uint32_t kReadHead = 4 + 4 + 84 + 4 + 4 + 4;

// The server keeps no file open between calls: each call opens, works and closes. The opens
// keep other programs out meanwhile.
constexpr bool kExclusiveOpens = true;

// The reply's wcc_data carries no attributes, so none are taken.
hostfs::HostError WriteHostFile(const ClientPath& path, uint64_t offset, const uint8_t* data,
                                uint32_t count) {
    return WriteFromCall(path, kExclusiveOpens, offset, data, count, false).error;
}

// RFC 1813 3.3.8: GUARDED and EXCLUSIVE never replace what is there; only a retransmitted
// EXCLUSIVE create, known by its verifier, finds its own file again. UNCHECKED creates the file
// or empties the one that is there. A name the host would take for an entry of another spelling
// is never created over: emptying notes.txt for "Notes.TXT" would lose it, and the client's data
// would not land under the name it asked for. The initial attributes are not applied.
hostfs::HostError CreateHostFile(PathView path, const createhow3& how,
                                 ExclusiveVerifiers& verifiers) {
    using hostfs::HostError;
    const bool exclusive = how.mode != UNCHECKED && how.mode != GUARDED;
    HostMatch match = MatchOnHost(path);
    if (match == HostMatch::kOtherSpelling) return HostError::kExists;
    if (match == HostMatch::kExact && how.mode != UNCHECKED) {
        return exclusive && verifiers.Keeps(path, how.verf) ? HostError::kNone : HostError::kExists;
    }
    std::unique_ptr<hostfs::IHostFile> file;
    HostError error = hostfs::Fs().Open(path, OpenMode::kCreateAlways, true, file);
    if (error == HostError::kNone && exclusive) verifiers.Store(path, how.verf);
    return error;
}

}  // namespace

// RFC 1813 3.3.6. A count beyond what one reply may carry is served short with eof FALSE, and
// the client asks for the rest.
nfsstat3 CQDV_Procedure3::ProcRead() {
    READ3args args;
    ClientPath path = PathOf(Decode(args).file);
    nfsstat3 status = CheckPath(path);
    ReplyData read;
    if (status == NFS3_OK) {
        read = ReadIntoReply(*m_pOut, kReadHead, path, args.offset, std::min(args.count, kRtMax),
                             kExclusiveOpens);
        if (read.error != hostfs::HostError::kNone) {
            status = HostFailure(StatusOf(read.error), kReadFailed, kIoCaption);
        }
    }
    READ3resok result;
    result.file_attributes = PostOpAttributes(path, read);
    if (status == NFS3_OK) {
        result.count = read.done;
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
    ClientPath path = PathOf(Decode(args).file);
    nfsstat3 status = CheckPath(path);
    if (status == NFS3_OK && args.count > args.data.length) status = NFS3ERR_INVAL;
    if (status == NFS3_OK) {
        hostfs::HostError error = WriteHostFile(path, args.offset, args.data.data, args.count);
        if (error != hostfs::HostError::kNone) {
            status = HostFailure(StatusOf(error), kWriteFailed, kIoCaption);
        }
    }
    WRITE3resok result;
    result.count = args.count;
    result.committed = FILE_SYNC;
    result.verf = kWriteVerifier;
    return Answer(status, result, result.file_wcc);
}

// A folder handle that names nothing is a failed creation like any refusal of the host, which
// answers NFS3ERR_IO whatever the host's reason, as players have always been answered; a name the
// share refuses, or one that is taken, is the client's own matter.
nfsstat3 CQDV_Procedure3::ProcCreate() {
    CREATE3args args;
    ClientPath path = PathOf(Decode(args).where);
    nfsstat3 status = path.Found() ? StatusOf(CreateHostFile(path.path, args.how, m_verifiers))
                                   : NewNameRefusal(path);
    if (status != NFS3_OK && status != NFS3ERR_EXIST &&
        path.outcome != PathOutcome::kOutsideShare) {
        status = HostFailure(NFS3ERR_IO, kCreateFailed, kCreateCaption);
    }
    WriteNewEntry(status, path, wcc_data{});
    return status;
}

// RFC 1813 3.3.21. Real clients send COMMIT when they close a file they wrote, whatever WRITE
// answered; it puts the file's data on the disk. The whole file is flushed, whatever the range.
nfsstat3 CQDV_Procedure3::ProcCommit() {
    COMMIT3args args;
    ClientPath path = PathOf(Decode(args).file);
    nfsstat3 status = CheckPath(path);
    // Not exclusive: a player reading the file must not make the flush fail. Windows flushes only
    // through a handle that may write.
    if (status == NFS3_OK) status = StatusOf(hostfs::Fs().FlushOnce(path.path));
    COMMIT3resok result;
    result.verf = kWriteVerifier;
    return Answer(status, result, result.file_wcc);
}
