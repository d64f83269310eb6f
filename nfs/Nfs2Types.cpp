#include "Nfs2Types.h"

#include "XdrCoder.h"

const char* Nfs2StatusName(uint32_t status) {
    switch (status) {
#define NFS2_STATUS_NAME(name, value, text) \
    case value:                             \
        return text;
        NFS2_STATUS_LIST(NFS2_STATUS_NAME)
#undef NFS2_STATUS_NAME
        default:
            return nullptr;
    }
}

namespace {

XDR_FIELDS(fhandle, value.data)
XDR_FIELDS(nfstime2, value.seconds, value.useconds)
XDR_FIELDS(fattr, value.type, value.mode, value.nlink, value.uid, value.gid, value.size,
           value.blocksize, value.rdev, value.blocks, value.fsid, value.fileid, value.atime,
           value.mtime, value.ctime)
XDR_FIELDS(sattr, value.mode, value.uid, value.gid, value.size, value.atime, value.mtime)
XDR_FIELDS(sattrargs, value.file, value.attributes)
XDR_FIELDS(diropargs, value.dir, value.name)
XDR_FIELDS(diropokres, value.file, value.attributes)
XDR_FIELDS(readargs, value.file, value.offset, value.count, value.totalcount)
// The data is checked against the bytes that arrived and stays where it lies in the call.
XDR_FIELDS(writeargs, value.file, value.beginoffset, value.offset, value.totalcount, value.data)
XDR_FIELDS(createargs, value.where, value.attributes)
XDR_FIELDS(renameargs, value.from, value.to)
XDR_FIELDS(readdirargs, value.dir, value.cookie, value.count)
XDR_FIELDS(entry, value.fileid, value.name, value.cookie)
XDR_FIELDS(statfsokres, value.tsize, value.bsize, value.blocks, value.bfree, value.bavail)

// The entries are an XDR optional-data list: TRUE before each entry, FALSE after the last.
template <typename Xdr>
void Code(Xdr& x, readdirokres& value) {
    x.List(value.entries);
    x(value.eof);
}

}  // namespace

NFS2_XDR_TYPES(XDR_CODECS)
