#include <string>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "QDV_Procedure3.h"
#include "SharePaths.h"

// A name the share refuses keeps its refusal; a folder handle that names nothing, or a joined
// path too long for the host, is reported like a refusal of the host itself.
nfsstat3 CQDV_Procedure3::NewNameRefusal(const ClientPath& where) {
    return where.outcome == PathOutcome::kOutsideShare ? NFS3ERR_ACCES : NFS3ERR_IO;
}

// CREATE and MKDIR answer alike (RFC 1813 3.3.8, 3.3.9).
void CQDV_Procedure3::WriteNewEntry(nfsstat3 status, const ClientPath& path,
                                    const wcc_data& dirWcc) {
    m_pOut->WriteInt32(status);
    if (status == NFS3_OK) {
        post_op_fh3 object;
        object.handle_follows = true;
        MakeHandle(path.path, object.handle);
        Write(*m_pOut, object);
        Write(*m_pOut, PostOpAttributes(path));
    }
    Write(*m_pOut, dirWcc);
}

// The initial attributes are not applied: the folder gets the host's defaults.
nfsstat3 CQDV_Procedure3::ProcMkdir() {
    MKDIR3args args;
    ClientPath where;
    ClientPath path = PathOf(Decode(args).where, &where);
    nfsstat3 status =
        path.Found() ? StatusOf(hostfs::Fs().MakeFolder(path.path)) : NewNameRefusal(path);
    wcc_data dirWcc;
    if (status == NFS3_OK) dirWcc.after = PostOpAttributes(where);
    WriteNewEntry(status, path, dirWcc);
    return status;
}

// RFC 1813 3.3.13. The table entry of the removed folder stays; its handle then answers
// NFS3ERR_NOENT.
nfsstat3 CQDV_Procedure3::ProcRmdir() {
    diropargs3 object;
    ClientPath path = OwnEntry(PathOf(Decode(object)));
    nfsstat3 status = CheckPath(path);
    if (status == NFS3_OK) status = StatusOf(hostfs::Fs().RemoveFolder(path.path));
    m_pOut->WriteInt32(status);
    Write(*m_pOut, wcc_data{});
    return status;
}

// RFC 1813 3.3.14. The moved object's handles, and those of everything inside a moved folder,
// follow it to the new path. The host never replaces an existing entry. Clients rename without
// looking the name up first (libnfs' nfs_rename, any client after a restart of ours).
nfsstat3 CQDV_Procedure3::ProcRename() {
    RENAME3args args;
    const ClientPath from = OwnEntry(PathOf(Decode(args).from));
    const ClientPath to = PathOf(args.to);
    nfsstat3 status = CheckPath(from);
    if (status == NFS3_OK && !to.Found()) status = NewNameRefusal(to);
    if (status == NFS3_OK) status = StatusOf(FileManager().Rename(from.path, to.path));
    m_pOut->WriteInt32(status);
    Write(*m_pOut, wcc_data{});
    Write(*m_pOut, wcc_data{});
    return status;
}
