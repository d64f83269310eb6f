#include "Nfs3Types.h"

#include <cstring>

#include "Xdr.h"

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

void Read(IInputStream& in, nfstime3& value) {
    value.seconds = ReadUint32(in);
    value.nseconds = ReadUint32(in);
}

void Read(IInputStream& in, set_time& value) {
    value.how = ReadUint32(in);
    if (value.how == SET_TO_CLIENT_TIME) Read(in, value.time);
}

void Read(IInputStream& in, sattr3& value) {
    if ((value.set_mode = ReadBool(in))) value.mode = ReadUint32(in);
    if ((value.set_uid = ReadBool(in))) value.uid = ReadUint32(in);
    if ((value.set_gid = ReadBool(in))) value.gid = ReadUint32(in);
    if ((value.set_size = ReadBool(in))) value.size = ReadUint64(in);
    Read(in, value.atime);
    Read(in, value.mtime);
}

void Read(IInputStream& in, sattrguard3& value) {
    if ((value.check = ReadBool(in))) Read(in, value.obj_ctime);
}

void Read(IInputStream& in, diropargs3& value) {
    ReadOpaque(in, value.dir);
    ReadOpaque(in, value.name);
}

void Read(IInputStream& in, createhow3& value) {
    value.mode = ReadUint32(in);
    if (value.mode == UNCHECKED || value.mode == GUARDED) {
        Read(in, value.obj_attributes);
    } else {
        value.verf = ReadUint64(in);
    }
}

void Write(IOutputStream& out, const nfstime3& value) {
    out.WriteInt32(value.seconds);
    out.WriteInt32(value.nseconds);
}

void Write(IOutputStream& out, const specdata3& value) {
    out.WriteInt32(value.specdata1);
    out.WriteInt32(value.specdata2);
}

void Write(IOutputStream& out, const fattr3& value) {
    out.WriteInt32(value.type);
    out.WriteInt32(value.mode);
    out.WriteInt32(value.nlink);
    out.WriteInt32(value.uid);
    out.WriteInt32(value.gid);
    out.WriteInt64(value.size);
    out.WriteInt64(value.used);
    Write(out, value.rdev);
    out.WriteInt64(value.fsid);
    out.WriteInt64(value.fileid);
    Write(out, value.atime);
    Write(out, value.mtime);
    Write(out, value.ctime);
}

void Write(IOutputStream& out, const post_op_attr& value) {
    WriteBool(out, value.attributes_follow);
    if (value.attributes_follow) Write(out, value.attributes);
}

void Write(IOutputStream& out, const wcc_attr& value) {
    out.WriteInt64(value.size);
    Write(out, value.mtime);
    Write(out, value.ctime);
}

void Write(IOutputStream& out, const pre_op_attr& value) {
    WriteBool(out, value.attributes_follow);
    if (value.attributes_follow) Write(out, value.attributes);
}

void Write(IOutputStream& out, const wcc_data& value) {
    Write(out, value.before);
    Write(out, value.after);
}

void Write(IOutputStream& out, const post_op_fh3& value) {
    WriteBool(out, value.handle_follows);
    if (value.handle_follows) WriteOpaque(out, value.handle);
}
