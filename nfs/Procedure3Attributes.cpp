#include <ctime>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "QDV_Procedure3.h"
#include "Xdr.h"

nfsstat3 CQDV_Procedure3::ProcGetAttr() {
    ResolvedPath path = ReadPath();
    nfsstat3 status = CheckPath(path);
    fattr3 attributes;
    if (status == NFS3_OK && !GetAttributes(path.path, attributes)) status = NFS3ERR_IO;
    m_pOut->WriteInt32(status);
    if (status == NFS3_OK) Write(*m_pOut, attributes);
    return status;
}

// The uid and gid of a request are ignored: every file belongs to the configured owner. The
// guard is not checked.
nfsstat3 CQDV_Procedure3::ProcSetAttr() {
    ResolvedPath path = ReadPath();
    sattr3 attributes;
    Read(*m_pIn, attributes);
    sattrguard3 guard;
    Read(*m_pIn, guard);
    nfsstat3 status = CheckPath(path);
    wcc_data wcc;
    if (status == NFS3_OK) {
        status = ApplyAttributes(path.path, attributes);
        wcc.after = PostOpAttributes(path.path);
    }
    m_pOut->WriteInt32(status);
    Write(*m_pOut, wcc);
    return status;
}

namespace {

bool ToHostTime(const set_time& requested, int64_t& seconds) {
    if (requested.how == SET_TO_CLIENT_TIME) seconds = requested.time.seconds;
    if (requested.how == SET_TO_SERVER_TIME) seconds = static_cast<int64_t>(std::time(nullptr));
    return requested.how == SET_TO_CLIENT_TIME || requested.how == SET_TO_SERVER_TIME;
}

}  // namespace

// Applies what the host can do. Size and times come before the mode, as a mode without the
// write bit would make the host refuse them. Clients empty a file they overwrite by setting its
// size, so answering OK without doing it would leave stale bytes behind.
nfsstat3 CQDV_Procedure3::ApplyAttributes(const char* path, const sattr3& attributes) {
    hostfs::IHostFs& fs = hostfs::Fs();
    if (attributes.set_size && !fs.SetSize(path, attributes.size)) return NFS3ERR_IO;
    int64_t atime = 0;
    int64_t mtime = 0;
    bool setAtime = ToHostTime(attributes.atime, atime);
    bool setMtime = ToHostTime(attributes.mtime, mtime);
    if ((setAtime || setMtime) &&
        !fs.SetTimes(path, setAtime ? &atime : nullptr, setMtime ? &mtime : nullptr)) {
        return NFS3ERR_IO;
    }
    if (attributes.set_mode &&
        !fs.SetPermissions(path, (attributes.mode & 0400) != 0, (attributes.mode & 0200) != 0)) {
        return NFS3ERR_INVAL;
    }
    return NFS3_OK;
}

// Looking up "." or ".." gives a separate entry for the joined path, which the host resolves to
// the folder itself or its parent.
nfsstat3 CQDV_Procedure3::ProcLookup() {
    ResolvedPath path = ReadDirOpPath();
    nfsstat3 status = CheckPath(path);
    nfs_fh3 handle;
    post_op_attr attributes;
    if (status == NFS3_OK) {
        MakeHandle(path.path, handle);
        attributes = PostOpAttributes(path.path);
    }
    m_pOut->WriteInt32(status);
    if (status == NFS3_OK) {
        WriteOpaque(*m_pOut, handle);
        Write(*m_pOut, attributes);
    }
    Write(*m_pOut, post_op_attr{});
    return status;
}

// Grants every bit asked for: the host decides when the file is actually used.
nfsstat3 CQDV_Procedure3::ProcAccess() {
    ResolvedPath path = ReadPath();
    uint32_t access = ReadUint32(*m_pIn);
    nfsstat3 status = CheckPath(path);
    m_pOut->WriteInt32(status);
    Write(*m_pOut, PostOpAttributes(status == NFS3_OK ? path.path : nullptr));
    if (status == NFS3_OK) m_pOut->WriteInt32(access);
    return status;
}
