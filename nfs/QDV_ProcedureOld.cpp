#include "QDV_ProcedureOld.h"

#include <cstring>

#include "DorvelFileManager.h"
#include "FileAttributes.h"

namespace {
// A second run of these answers otherwise than the first (NOENT, EXIST ...).
constexpr bool kChangesFileSystem = true;
}  // namespace

const CQDV_ProcedureOld::Procedure CQDV_ProcedureOld::kProcedures[] = {
    {"NULL", &CQDV_ProcedureOld::ProcNull},                          // 0
    {"GETATTR", &CQDV_ProcedureOld::ProcGetAttr},                    // 1
    {"SETATTR", &CQDV_ProcedureOld::ProcSetAttr},                    // 2
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},                      // 3 ROOT
    {"LOOKUP", &CQDV_ProcedureOld::ProcLookup},                      // 4
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},                      // 5 READLINK
    {"READ", &CQDV_ProcedureOld::ProcRead},                          // 6
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},                      // 7 WRITECACHE
    {"WRITE", &CQDV_ProcedureOld::ProcWrite},                        // 8
    {"CREATE", &CQDV_ProcedureOld::ProcCreate, kChangesFileSystem},  // 9
    {"REMOVE", &CQDV_ProcedureOld::ProcRemove, kChangesFileSystem},  // 10
    {"RENAME", &CQDV_ProcedureOld::ProcRename, kChangesFileSystem},  // 11
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},                      // 12 LINK
    {"NOTIMP", &CQDV_ProcedureOld::ProcNotImp},                      // 13 SYMLINK
    {"MKDIR", &CQDV_ProcedureOld::ProcMkdir, kChangesFileSystem},    // 14
    {"RMDIR", &CQDV_ProcedureOld::ProcRmdir, kChangesFileSystem},    // 15
    {"READDIR", &CQDV_ProcedureOld::ProcReadDir},                    // 16
    {"STATFS", &CQDV_ProcedureOld::ProcStatFs},                      // 17
};

const uint32_t CQDV_ProcedureOld::kProcedureCount = sizeof kProcedures / sizeof kProcedures[0];

bool CQDV_ProcedureOld::ProcedureChangesFileSystem(uint32_t procedure) {
    return procedure < kProcedureCount && kProcedures[procedure].changesFileSystem;
}

nfsstat CQDV_ProcedureOld::StatusOf(PathOutcome outcome) {
    switch (outcome) {
        case PathOutcome::kFound:
            return NFS_OK;
        case PathOutcome::kStale:
            return NFSERR_STALE;
        case PathOutcome::kOutsideShare:
            return NFSERR_ACCES;
        case PathOutcome::kTooLong:
            return NFSERR_NAMETOOLONG;
        case PathOutcome::kMissing:
            return NFSERR_NOENT;
    }
    return NFSERR_STALE;
}

// RFC 1094 2.3.1.
nfsstat CQDV_ProcedureOld::StatusOf(hostfs::HostError error) {
    switch (error) {
        case hostfs::HostError::kNone:
            return NFS_OK;
        case hostfs::HostError::kNotFound:
            return NFSERR_NOENT;
        case hostfs::HostError::kExists:
            return NFSERR_EXIST;
        case hostfs::HostError::kNotEmpty:
            return NFSERR_NOTEMPTY;
        case hostfs::HostError::kNotFolder:
            return NFSERR_NOTDIR;
        case hostfs::HostError::kIsFolder:
            return NFSERR_ISDIR;
        case hostfs::HostError::kDenied:
            return NFSERR_ACCES;
        case hostfs::HostError::kNoSpace:
            return NFSERR_NOSPC;
        case hostfs::HostError::kNameTooLong:
            return NFSERR_NAMETOOLONG;
        case hostfs::HostError::kOther:
            return NFSERR_IO;
    }
    return NFSERR_IO;
}

CQDV_ProcedureOld::~CQDV_ProcedureOld() = default;

void CQDV_ProcedureOld::SetOwner(int32_t uid, int32_t gid) {
    m_nUid = uid;
    m_nGid = gid;
}

int CQDV_ProcedureOld::Dispatch(IInputStream& in, IOutputStream& out,
                                const RPCCallContext& context) {
    return ServeCall(
        in, out, context, kProcedureCount, OtherFailures::kPropagate,
        [this, &context] { ServeNamed(this, kProcedures[context.procedure], Nfs2StatusName); });
}

nfsstat CQDV_ProcedureOld::ProcNull() {
    return NFS_OK;
}

nfsstat CQDV_ProcedureOld::ProcNotImp() {
    NotServed();
    return NFS_OK;
}

ClientPath CQDV_ProcedureOld::PathOf(const fhandle& handle) {
    ClientPath path = PathOfHandle(handle.data, NFS_FHSIZE);
    if (path.Found()) Trace(" %s", path.path.c_str());
    return path;
}

ClientPath CQDV_ProcedureOld::PathOf(const diropargs& args) {
    ClientPath folder = PathOf(args.dir);
    if (folder.Found()) Trace("%c%s", hostfs::Fs().Separator(), args.name.Text());
    return PathInFolder(folder, args.name.View());
}

// Version 2 has no wider word for a size: a file beyond 4 GiB reports the low 32 bits of it.
nfsstat CQDV_ProcedureOld::GetAttributes(const ClientPath& path, fattr& attributes) {
    FileAttributes host;
    if (!QueryAttributes(path, host)) return NFSERR_IO;
    attributes = ToFattr(host);
    return NFS_OK;
}

nfsstat CQDV_ProcedureOld::CheckedAttributes(const ClientPath& path, fattr& attributes) {
    FoundPath found = ExistingWithAttributes(path);
    nfsstat status = StatusOf(found.outcome);
    if (status == NFS_OK && !found.hasAttributes) status = NFSERR_IO;
    if (status == NFS_OK) attributes = ToFattr(found.attributes);
    return status;
}

fattr CQDV_ProcedureOld::ToFattr(const FileAttributes& host) const {
    fattr attributes;
    attributes.type = host.type;
    attributes.mode = host.mode;
    attributes.nlink = host.nlink;
    attributes.uid = static_cast<uint32_t>(m_nUid);
    attributes.gid = static_cast<uint32_t>(m_nGid);
    attributes.size = static_cast<uint32_t>(host.size);
    attributes.blocksize = NFS_MAXDATA;
    attributes.rdev = 0;
    attributes.blocks = static_cast<uint32_t>((host.size + NFS_MAXDATA - 1) / NFS_MAXDATA);
    attributes.fsid = 4;
    attributes.fileid = host.fileid;
    attributes.atime = nfstime2{static_cast<uint32_t>(host.atime), 0};
    attributes.mtime = nfstime2{static_cast<uint32_t>(host.mtime), 0};
    attributes.ctime = nfstime2{static_cast<uint32_t>(host.ctime), 0};
    return attributes;
}

nfsstat CQDV_ProcedureOld::DirOpResult(const ClientPath& path, diropokres& result) {
    CopyHandle(path.path, result.file);
    return GetAttributes(path, result.attributes);
}

// The handle is the first half of the table's record (RFC 1094 2.3.3 fixes 32 bytes).
void CQDV_ProcedureOld::CopyHandle(PathView path, fhandle& handle) {
    std::memcpy(handle.data, FileManager().GetHandle(path), NFS_FHSIZE);
}

// attrstat (RFC 1094 2.3.9): the attributes follow only a success.
nfsstat CQDV_ProcedureOld::WriteAttrStat(nfsstat status, const fattr& attributes) {
    m_pOut->WriteInt32(status);
    if (status == NFS_OK) Write(*m_pOut, attributes);
    return status;
}

// diropres (RFC 1094 2.3.11).
nfsstat CQDV_ProcedureOld::WriteDirOpRes(nfsstat status, const diropokres& result) {
    m_pOut->WriteInt32(status);
    if (status == NFS_OK) Write(*m_pOut, result);
    return status;
}
