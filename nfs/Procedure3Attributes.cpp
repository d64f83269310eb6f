#include "AttributeChanges.h"
#include "QDV_Procedure3.h"
#include "Xdr.h"

nfsstat3 CQDV_Procedure3::ProcGetAttr() {
    GETATTR3args args;
    ClientPath path = PathOf(Decode(args).object);
    post_op_attr attributes;
    nfsstat3 status = StartQuery(path, attributes);
    m_pOut->WriteInt32(status);
    if (status == NFS3_OK) Write(*m_pOut, attributes.attributes);
    return status;
}

// The uid and gid of a request are ignored: every file belongs to the configured owner. The
// guard is not checked.
nfsstat3 CQDV_Procedure3::ProcSetAttr() {
    SETATTR3args args;
    wcc_data wcc;
    ClientPath path = PathOf(Decode(args).object);
    nfsstat3 status = CheckPath(path);
    if (status == NFS3_OK) {
        status = ApplyAttributes(path.path, args.new_attributes);
        wcc.after = PostOpAttributes(path);
    }
    m_pOut->WriteInt32(status);
    Write(*m_pOut, wcc);
    return status;
}

namespace {

TimeSetting ToTimeSetting(const set_time& requested) {
    TimeSetting setting;
    if (requested.how == SET_TO_SERVER_TIME) setting.change = TimeChange::kServerTime;
    if (requested.how == SET_TO_CLIENT_TIME) {
        setting.change = TimeChange::kClientTime;
        setting.seconds = requested.time.seconds;
    }
    return setting;
}

}  // namespace

// A refused mode is an invalid request, as RFC 1813 3.3.2 allows; a refused size or time change
// a failure of the host.
nfsstat3 CQDV_Procedure3::ApplyAttributes(PathView path, const sattr3& attributes) {
    AttributeChanges changes;
    changes.setMode = attributes.set_mode;
    changes.mode = attributes.mode;
    changes.setSize = attributes.set_size;
    changes.size = attributes.size;
    changes.atime = ToTimeSetting(attributes.atime);
    changes.mtime = ToTimeSetting(attributes.mtime);
    const ChangeRefusal refusal = ApplyAttributeChanges(path, changes);
    return refusal.mode ? NFS3ERR_INVAL : StatusOf(refusal.error);
}

// Looking up "." or ".." gives a separate entry for the joined path, which the host resolves to
// the folder itself or its parent.
nfsstat3 CQDV_Procedure3::ProcLookup() {
    diropargs3 what;
    ClientPath path = PathOf(Decode(what));
    post_op_attr attributes;
    nfsstat3 status = CheckPath(path, attributes);
    nfs_fh3 handle;
    if (status == NFS3_OK) MakeHandle(path.path, handle);
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
    ACCESS3args args;
    ACCESS3resok result;
    nfsstat3 status = CheckPath(PathOf(Decode(args).object), result.obj_attributes);
    result.access = args.access;
    return Answer(status, result, result.obj_attributes);
}
