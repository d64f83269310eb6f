#include "QDV_Procedure3.h"

#include <cstring>

#include "DorvelFileManager.h"
#include "FileAttributes.h"
#include "SharePaths.h"

const CQDV_Procedure3::Procedure CQDV_Procedure3::kProcedures[] = {
    {"NULL", &CQDV_Procedure3::ProcNull},                // 0
    {"GETATTR", &CQDV_Procedure3::ProcGetAttr},          // 1
    {"SETATTR", &CQDV_Procedure3::ProcSetAttr},          // 2
    {"LOOKUP", &CQDV_Procedure3::ProcLookup},            // 3
    {"ACCESS", &CQDV_Procedure3::ProcAccess},            // 4
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},              // 5 READLINK
    {"READ", &CQDV_Procedure3::ProcRead},                // 6
    {"WRITE", &CQDV_Procedure3::ProcWrite},              // 7
    {"CREATE", &CQDV_Procedure3::ProcCreate},            // 8
    {"MKDIR", &CQDV_Procedure3::ProcMkdir},              // 9
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},              // 10 SYMLINK
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},              // 11 MKNOD
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},              // 12 REMOVE
    {"RMDIR", &CQDV_Procedure3::ProcRmdir},              // 13
    {"RENAME", &CQDV_Procedure3::ProcRename},            // 14
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},              // 15 LINK
    {"READDIR", &CQDV_Procedure3::ProcReadDir},          // 16
    {"READDIRPLUS", &CQDV_Procedure3::ProcReadDirPlus},  // 17
    {"FSSTAT", &CQDV_Procedure3::ProcFsStat},            // 18
    {"FSINFO", &CQDV_Procedure3::ProcFsInfo},            // 19
    {"NOIMP", &CQDV_Procedure3::ProcNoImp},              // 20 PATHCONF
    {"COMMIT", &CQDV_Procedure3::ProcCommit},            // 21
};

const uint32_t CQDV_Procedure3::kProcedureCount = sizeof kProcedures / sizeof kProcedures[0];

CQDV_Procedure3::~CQDV_Procedure3() = default;

void CQDV_Procedure3::SetOwner(int32_t uid, int32_t gid) {
    m_nUid = uid;
    m_nGid = gid;
}

int CQDV_Procedure3::Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) {
    return ServeCall(in, out, context, kProcedureCount, OtherFailures::kGarbage,
                     [this, &context] { Serve(kProcedures[context.procedure]); });
}

void CQDV_Procedure3::Serve(const Procedure& procedure) {
    Trace("%s", procedure.name);
    nfsstat3 status = (this->*procedure.handler)();
    const char* name = Nfs3StatusName(status);
    Trace(" %s", name != nullptr ? name : "");
}

nfsstat3 CQDV_Procedure3::ProcNull() {
    return NFS3_OK;
}

nfsstat3 CQDV_Procedure3::ProcNoImp() {
    NotServed();
    return NFS3_OK;
}

// A handle must name a table entry whose path lies in a current share.
ResolvedPath CQDV_Procedure3::ReadPath() {
    nfs_fh3 handle;
    ReadOpaque(*m_pIn, handle);
    ResolvedPath resolved;
    const char* path = FileManager().GetPath(handle.Data(), handle.Length());
    if (path == nullptr) return resolved;
    Trace(" %s", path);
    if (LiesInShare(path)) {
        resolved.path = path;
    } else {
        resolved.refusal = NFS3ERR_ACCES;
    }
    return resolved;
}

// The name is joined to the folder as the client sent it; one that holds a separator, or whose
// "." and ".." steps would leave the share, is refused.
ResolvedPath CQDV_Procedure3::ReadDirOpPath() {
    diropargs3 args;
    Read(*m_pIn, args);
    ResolvedPath resolved;
    const char* folder = FileManager().GetPath(args.dir.Data(), args.dir.Length());
    if (folder == nullptr) return resolved;
    if (!LiesInShare(folder)) {
        resolved.refusal = NFS3ERR_ACCES;
        return resolved;
    }
    switch (JoinSharePath(folder, args.name.Text(), args.name.Length(), m_joinedPath)) {
        case JoinResult::kOk:
            Trace(" %s", m_joinedPath.c_str());
            resolved.path = m_joinedPath.c_str();
            break;
        case JoinResult::kTooLong:
            break;
        case JoinResult::kNotPlainName:
        case JoinResult::kOutsideShare:
            resolved.refusal = NFS3ERR_ACCES;
            break;
    }
    return resolved;
}

nfsstat3 CQDV_Procedure3::CheckPath(const ResolvedPath& path) {
    if (path.path == nullptr) return path.refusal;
    return PathExists(path.path) ? NFS3_OK : NFS3ERR_NOENT;
}

bool CQDV_Procedure3::MakeHandle(const char* path, nfs_fh3& handle) {
    std::memcpy(handle.Data(), FileManager().GetHandle(path), handle.Length());
    return true;
}

bool CQDV_Procedure3::GetAttributes(const char* path, fattr3& attributes) {
    FileAttributes host;
    if (!QueryAttributes(path, host)) return false;
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
    return true;
}

post_op_attr CQDV_Procedure3::PostOpAttributes(const char* path) {
    post_op_attr attributes;
    attributes.attributes_follow = path != nullptr && GetAttributes(path, attributes.attributes);
    return attributes;
}
