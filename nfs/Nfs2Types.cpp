#include "Nfs2Types.h"

#include "Xdr.h"

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

void Read(IInputStream& in, fhandle& value) {
    ReadExactly(in, value.data, NFS_FHSIZE);
}

void Read(IInputStream& in, nfstime2& value) {
    value.seconds = ReadUint32(in);
    value.useconds = ReadUint32(in);
}

void Read(IInputStream& in, sattr& value) {
    value.mode = ReadUint32(in);
    value.uid = ReadUint32(in);
    value.gid = ReadUint32(in);
    value.size = ReadUint32(in);
    Read(in, value.atime);
    Read(in, value.mtime);
}

void Read(IInputStream& in, diropargs& value) {
    Read(in, value.dir);
    ReadOpaque(in, value.name);
}

void Read(IInputStream& in, readargs& value) {
    Read(in, value.file);
    value.offset = ReadUint32(in);
    value.count = ReadUint32(in);
    value.totalcount = ReadUint32(in);
}

// The data is checked against the bytes that arrived and stays where it lies in the call.
void Read(IInputStream& in, writeargs& value) {
    Read(in, value.file);
    value.beginoffset = ReadUint32(in);
    value.offset = ReadUint32(in);
    value.totalcount = ReadUint32(in);
    ReadOpaque(in, value.data);
}

void Read(IInputStream& in, createargs& value) {
    Read(in, value.where);
    Read(in, value.attributes);
}

void Read(IInputStream& in, renameargs& value) {
    Read(in, value.from);
    Read(in, value.to);
}

void Read(IInputStream& in, readdirargs& value) {
    Read(in, value.dir);
    value.cookie = ReadUint32(in);
    value.count = ReadUint32(in);
}

void Write(IOutputStream& out, const fhandle& value) {
    out.Write(value.data, NFS_FHSIZE);
}

void Write(IOutputStream& out, const nfstime2& value) {
    out.WriteInt32(value.seconds);
    out.WriteInt32(value.useconds);
}

void Write(IOutputStream& out, const fattr& value) {
    for (uint32_t word : {value.type, value.mode, value.nlink, value.uid, value.gid, value.size,
                          value.blocksize, value.rdev, value.blocks, value.fsid, value.fileid}) {
        out.WriteInt32(word);
    }
    Write(out, value.atime);
    Write(out, value.mtime);
    Write(out, value.ctime);
}

void Write(IOutputStream& out, const diropokres& value) {
    Write(out, value.file);
    Write(out, value.attributes);
}

void Write(IOutputStream& out, const entry& value) {
    out.WriteInt32(value.fileid);
    WriteOpaque(out, value.name.data(), static_cast<uint32_t>(value.name.size()));
    out.WriteInt32(value.cookie);
}

// The entries are an XDR optional-data list: TRUE before each entry, FALSE after the last.
void Write(IOutputStream& out, const readdirokres& value) {
    for (const entry& item : value.entries) {
        WriteBool(out, true);
        Write(out, item);
    }
    WriteBool(out, false);
    WriteBool(out, value.eof);
}

void Write(IOutputStream& out, const statfsokres& value) {
    for (uint32_t word : {value.tsize, value.bsize, value.blocks, value.bfree, value.bavail}) {
        out.WriteInt32(word);
    }
}
