#include "Nfs3Types.h"

#include <cstring>

#include "XdrCoder.h"

const char* Nfs3StatusName(uint32_t status) {
    switch (status) {
#define NFS3_STATUS_NAME(name, value, text) \
    case value:                             \
        return text;
        NFS3_STATUS_LIST(NFS3_STATUS_NAME)
#undef NFS3_STATUS_NAME
        default:
            return nullptr;
    }
}

void filename3::Allocate(uint32_t length) {
    Reserve(length, size_t{length} + 1);
    m_pszText = reinterpret_cast<const char*>(Data());
}

void filename3::Set(const char* text) {
    uint32_t length = static_cast<uint32_t>(std::strlen(text));
    Allocate(length);
    std::memcpy(Data(), text, length);
}

namespace {

XDR_FIELDS(nfstime3, value.seconds, value.nseconds)
XDR_FIELDS(specdata3, value.specdata1, value.specdata2)
XDR_FIELDS(fattr3, value.type, value.mode, value.nlink, value.uid, value.gid, value.size,
           value.used, value.rdev, value.fsid, value.fileid, value.atime, value.mtime, value.ctime)
XDR_OPTIONAL(post_op_attr, value.attributes_follow, value.attributes)
XDR_FIELDS(wcc_attr, value.size, value.mtime, value.ctime)
XDR_OPTIONAL(pre_op_attr, value.attributes_follow, value.attributes)
XDR_FIELDS(wcc_data, value.before, value.after)
XDR_OPTIONAL(post_op_fh3, value.handle_follows, value.handle)

template <typename Xdr>
void Code(Xdr& x, set_time& value) {
    x(value.how);
    if (value.how == SET_TO_CLIENT_TIME) x(value.time);
}

template <typename Xdr>
void Code(Xdr& x, sattr3& value) {
    if (x.Follows(value.set_mode)) x(value.mode);
    if (x.Follows(value.set_uid)) x(value.uid);
    if (x.Follows(value.set_gid)) x(value.gid);
    if (x.Follows(value.set_size)) x(value.size);
    x(value.atime, value.mtime);
}

XDR_OPTIONAL(sattrguard3, value.check, value.obj_ctime)
XDR_FIELDS(diropargs3, value.dir, value.name)

// Any mode other than UNCHECKED and GUARDED is taken for EXCLUSIVE.
template <typename Xdr>
void Code(Xdr& x, createhow3& value) {
    x(value.mode);
    if (value.mode == UNCHECKED || value.mode == GUARDED) {
        x(value.obj_attributes);
    } else {
        x(value.verf);
    }
}

XDR_FIELDS(GETATTR3args, value.object)
XDR_FIELDS(SETATTR3args, value.object, value.new_attributes, value.guard)
XDR_FIELDS(ACCESS3args, value.object, value.access)
XDR_FIELDS(ACCESS3resok, value.obj_attributes, value.access)
XDR_FIELDS(READ3args, value.file, value.offset, value.count)

// The data may already stand where it belongs, read there through IOutputStream::Room.
XDR_FIELDS(READ3resok, value.file_attributes, value.count, value.eof, value.data)
XDR_FIELDS(WRITE3args, value.file, value.offset, value.count, value.stable, value.data)
XDR_FIELDS(WRITE3resok, value.file_wcc, value.count, value.committed, value.verf)
XDR_FIELDS(CREATE3args, value.where, value.how)
XDR_FIELDS(MKDIR3args, value.where, value.attributes)
XDR_FIELDS(RENAME3args, value.from, value.to)
XDR_FIELDS(READDIR3args, value.dir, value.cookie, value.cookieverf, value.count)
XDR_FIELDS(READDIRPLUS3args, value.dir, value.cookie, value.cookieverf, value.dircount,
           value.maxcount)
XDR_FIELDS(entry3, value.fileid, value.name, value.cookie)
XDR_FIELDS(entryplus3, value.entry, value.name_attributes, value.name_handle)
XDR_FIELDS(FSSTAT3args, value.fsroot)
XDR_FIELDS(FSSTAT3resok, value.obj_attributes, value.tbytes, value.fbytes, value.abytes,
           value.tfiles, value.ffiles, value.afiles, value.invarsec)
XDR_FIELDS(FSINFO3resok, value.obj_attributes, value.rtmax, value.rtpref, value.rtmult, value.wtmax,
           value.wtpref, value.wtmult, value.dtpref, value.maxfilesize, value.time_delta,
           value.properties)
XDR_FIELDS(COMMIT3resok, value.file_wcc, value.verf)

}  // namespace

NFS3_XDR_TYPES(XDR_CODECS)
