#include "QDV_Procedure3.h"

#include <cstring>

#include "DorvelFileManager.h"
#include "FileAttributes.h"

namespace {
// A second run of these answers otherwise than the first (NOENT, EXIST ...).
constexpr bool kChangesFileSystem = true;
}  // namespace

const CQDV_Procedure3::Procedure CQDV_Procedure3::kProcedures[] = {
    {"NULL", &CQDV_Procedure3::ProcNull},                          // 0
    {"GETATTR", &CQDV_Procedure3::ProcGetAttr},                    // 1
    {"SETATTR", &CQDV_Procedure3::ProcSetAttr},                    // 2
    {"LOOKUP", &CQDV_Procedure3::ProcLookup},                      // 3
    {"ACCESS", &CQDV_Procedure3::ProcAccess},                      // 4
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},                        // 5 READLINK
    {"READ", &CQDV_Procedure3::ProcRead},                          // 6
    {"WRITE", &CQDV_Procedure3::ProcWrite},                        // 7
    {"CREATE", &CQDV_Procedure3::ProcCreate, kChangesFileSystem},  // 8
    {"MKDIR", &CQDV_Procedure3::ProcMkdir, kChangesFileSystem},    // 9
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},                        // 10 SYMLINK
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},                        // 11 MKNOD
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},                        // 12 REMOVE
    {"RMDIR", &CQDV_Procedure3::ProcRmdir, kChangesFileSystem},    // 13
    {"RENAME", &CQDV_Procedure3::ProcRename, kChangesFileSystem},  // 14
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},                        // 15 LINK
    {"READDIR", &CQDV_Procedure3::ProcReadDir},                    // 16
    {"READDIRPLUS", &CQDV_Procedure3::ProcReadDirPlus},            // 17
    {"FSSTAT", &CQDV_Procedure3::ProcFsStat},                      // 18
    {"FSINFO", &CQDV_Procedure3::ProcFsInfo},                      // 19
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},                        // 20 PATHCONF
    {"COMMIT", &CQDV_Procedure3::ProcCommit},                      // 21
};

const uint32_t CQDV_Procedure3::kProcedureCount = sizeof kProcedures / sizeof kProcedures[0];

bool CQDV_Procedure3::ProcedureChangesFileSystem(uint32_t procedure) {
    return procedure < kProcedureCount && kProcedures[procedure].changesFileSystem;
}

CQDV_Procedure3::~CQDV_Procedure3() = default;

void CQDV_Procedure3::SetOwner(int32_t uid, int32_t gid) {
    m_nUid = uid;
    m_nGid = gid;
}

int CQDV_Procedure3::Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) {
    return ServeCall(in, out, context, kProcedureCount, OtherFailures::kGarbage, [this, &context] {
        ServeNamed(this, kProcedures[context.procedure], Nfs3StatusName);
    });
}

nfsstat3 CQDV_Procedure3::ProcNull() {
    return NFS3_OK;
}

nfsstat3 CQDV_Procedure3::ProcNoImp() {
    NotServed();
    return NFS3_OK;
}

// A joined path too long for the host is a handle that leads nowhere.
nfsstat3 CQDV_Procedure3::StatusOf(PathOutcome outcome) {
    switch (outcome) {
        case PathOutcome::kFound:
            return NFS3_OK;
        case PathOutcome::kStale:
        case PathOutcome::kTooLong:
            return NFS3ERR_STALE;
        case PathOutcome::kOutsideShare:
            return NFS3ERR_ACCES;
        case PathOutcome::kMissing:
            return NFS3ERR_NOENT;
    }
    return NFS3ERR_STALE;
}

// RFC 1813 2.6.
nfsstat3 CQDV_Procedure3::StatusOf(hostfs::HostError error) {
    switch (error) {
        case hostfs::HostError::kNone:
            return NFS3_OK;
        case hostfs::HostError::kNotFound:
            return NFS3ERR_NOENT;
        case hostfs::HostError::kExists:
            return NFS3ERR_EXIST;
        case hostfs::HostError::kNotEmpty:
            return NFS3ERR_NOTEMPTY;
        case hostfs::HostError::kNotFolder:
            return NFS3ERR_NOTDIR;
        case hostfs::HostError::kIsFolder:
            return NFS3ERR_ISDIR;
        case hostfs::HostError::kDenied:
            return NFS3ERR_ACCES;
        case hostfs::HostError::kNoSpace:
            return NFS3ERR_NOSPC;
        case hostfs::HostError::kNameTooLong:
            return NFS3ERR_NAMETOOLONG;
        case hostfs::HostError::kOther:
            return NFS3ERR_IO;
    }
    return NFS3ERR_IO;
}

ClientPath CQDV_Procedure3::PathOf(const nfs_fh3& handle) {
    ClientPath path = PathOfHandle(handle.Data(), handle.Length());
    if (path.Found()) Trace(" %s", path.path.c_str());
    return path;
}

// The name is joined to the folder as the client sent it; one that holds a separator, or whose
// "." and ".." steps would leave the share, is refused.
ClientPath CQDV_Procedure3::PathOf(const diropargs3& args, ClientPath* folder) {
    const ClientPath where = PathOfHandle(args.dir.Data(), args.dir.Length());
    if (folder != nullptr) *folder = where;
    ClientPath path = PathInFolder(where, args.name.View());
    if (path.Found()) Trace(" %s", path.path.c_str());
    return path;
}

nfsstat3 CQDV_Procedure3::CheckPath(const ClientPath& path) {
    return StatusOf(ExistingOutcome(path));
}

void CQDV_Procedure3::MakeHandle(PathView path, nfs_fh3& handle) {
    std::memcpy(handle.Data(), FileManager().GetHandle(path), handle.Length());
}

nfsstat3 CQDV_Procedure3::CheckPath(const ClientPath& path, post_op_attr& attributes) {
    FoundPath found = ExistingWithAttributes(path);
    attributes.attributes_follow = found.hasAttributes;
    if (found.hasAttributes) attributes.attributes = ToFattr(found.attributes);
    return StatusOf(found.outcome);
}

// The start shared by GETATTR and the folder and file-system queries: the object's status and
// attributes, from one query of the host.
nfsstat3 CQDV_Procedure3::StartQuery(const ClientPath& path, post_op_attr& attributes) {
    nfsstat3 status = CheckPath(path, attributes);
    if (status == NFS3_OK && !attributes.attributes_follow) status = NFS3ERR_IO;
    return status;
}

fattr3 CQDV_Procedure3::ToFattr(const FileAttributes& host) const {
    fattr3 attributes;
    attributes.type = host.type;
    attributes.mode = host.mode;
    attributes.nlink = host.nlink;
    attributes.uid = static_cast<uint32_t>(m_nUid);
    attributes.gid = static_cast<uint32_t>(m_nGid);
    attributes.size = host.size;
    attributes.used = host.size;
    attributes.rdev = specdata3{};
    attributes.fsid = 4;
    attributes.fileid = host.fileid;
    attributes.atime = nfstime3{static_cast<uint32_t>(host.atime), 0};
    attributes.mtime = nfstime3{static_cast<uint32_t>(host.mtime), 0};
    attributes.ctime = nfstime3{static_cast<uint32_t>(host.ctime), 0};
    return attributes;
}

bool CQDV_Procedure3::GetAttributes(const ClientPath& path, fattr3& attributes) {
    FileAttributes host;
    if (!QueryAttributes(path, host)) return false;
    attributes = ToFattr(host);
    return true;
}

post_op_attr CQDV_Procedure3::PostOpAttributes(const ClientPath& path) {
    post_op_attr attributes;
    attributes.attributes_follow = GetAttributes(path, attributes.attributes);
    return attributes;
}
