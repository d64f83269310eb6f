#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Nfs3Types.h"
#include "Opaque.h"

// NFS version 2 types (RFC 1094 section 2.3) with their XDR codecs. Decoders throw
// XdrDecodeError when the arguments run short.

// RFC 1094 2.3.1.
#define NFS2_STATUS_LIST(X)                  \
    X(NFS_OK, 0, "OK")                       \
    X(NFSERR_PERM, 1, "PERM")                \
    X(NFSERR_NOENT, 2, "NOENT")              \
    X(NFSERR_IO, 5, "IO")                    \
    X(NFSERR_NXIO, 6, "NXIO")                \
    X(NFSERR_ACCES, 13, "ACCES")             \
    X(NFSERR_EXIST, 17, "EXIST")             \
    X(NFSERR_NODEV, 19, "NODEV")             \
    X(NFSERR_NOTDIR, 20, "NOTDIR")           \
    X(NFSERR_ISDIR, 21, "ISDIR")             \
    X(NFSERR_FBIG, 27, "FBIG")               \
    X(NFSERR_NOSPC, 28, "NOSPC")             \
    X(NFSERR_ROFS, 30, "ROFS")               \
    X(NFSERR_NAMETOOLONG, 63, "NAMETOOLONG") \
    X(NFSERR_NOTEMPTY, 66, "NOTEMPTY")       \
    X(NFSERR_DQUOT, 69, "DQUOT")             \
    X(NFSERR_STALE, 70, "STALE")             \
    X(NFSERR_WFLUSH, 99, "WFLUSH")

enum nfsstat : uint32_t {
#define NFS2_STATUS_ENUM(name, value, text) name = value,
    NFS2_STATUS_LIST(NFS2_STATUS_ENUM)
#undef NFS2_STATUS_ENUM
};

// The status's trace name, or null for a value outside the list.
const char* Nfs2StatusName(uint32_t status);

// RFC 1094 2.3: the size of a handle and the most data one READ or WRITE carries.
constexpr uint32_t NFS_FHSIZE = 32;
constexpr uint32_t NFS_MAXDATA = 8192;

// Fixed length: no length word on the wire.
struct fhandle {
    uint8_t data[NFS_FHSIZE] = {};
};

// The same XDR string as version 3's (RFC 1094 2.3.7).
using filename = filename3;

// RFC 1094 calls this timeval; that name belongs to the C library's struct.
struct nfstime2 {
    uint32_t seconds = 0;
    uint32_t useconds = 0;
};

struct fattr {
    uint32_t type = 0;
    uint32_t mode = 0;
    uint32_t nlink = 0;
    uint32_t uid = 0;
    uint32_t gid = 0;
    uint32_t size = 0;
    uint32_t blocksize = 0;
    uint32_t rdev = 0;
    uint32_t blocks = 0;
    uint32_t fsid = 0;
    uint32_t fileid = 0;
    nfstime2 atime;
    nfstime2 mtime;
    nfstime2 ctime;
};

// A word of all ones leaves its field alone (RFC 1094 2.3.6).
constexpr uint32_t kSattrUnset = 0xFFFFFFFF;

struct sattr {
    uint32_t mode = kSattrUnset;
    uint32_t uid = kSattrUnset;
    uint32_t gid = kSattrUnset;
    uint32_t size = kSattrUnset;
    nfstime2 atime{kSattrUnset, kSattrUnset};
    nfstime2 mtime{kSattrUnset, kSattrUnset};
};

// RFC 1094 2.2.3: SETATTR's arguments.
struct sattrargs {
    fhandle file;
    sattr attributes;
};

struct diropargs {
    fhandle dir;
    filename name;
};

struct diropokres {
    fhandle file;
    fattr attributes;
};

struct readargs {
    fhandle file;
    uint32_t offset = 0;
    uint32_t count = 0;
    uint32_t totalcount = 0;
};

struct writeargs {
    fhandle file;
    uint32_t beginoffset = 0;
    uint32_t offset = 0;
    uint32_t totalcount = 0;
    OpaqueView data;  // where it lies in the call
};

struct createargs {
    diropargs where;
    sattr attributes;
};

struct renameargs {
    diropargs from;
    diropargs to;
};

// The cookie is opaque[4] to the client; this server fills it with a big-endian number.
struct readdirargs {
    fhandle dir;
    uint32_t cookie = 0;
    uint32_t count = 0;
};

// The name stays where it lies, as entry3's does.
struct entry {
    uint32_t fileid = 0;
    std::string_view name;
    uint32_t cookie = 0;
};

struct readdirokres {
    std::vector<entry> entries;
    bool eof = true;
};

struct statfsokres {
    uint32_t tsize = 0;
    uint32_t bsize = 0;
    uint32_t blocks = 0;
    uint32_t bfree = 0;
    uint32_t bavail = 0;
};

// Every type above with its Read and Write.
// clang-format off
#define NFS2_XDR_TYPES(X)                                                                      \
    X(fhandle) X(nfstime2) X(fattr) X(sattr) X(sattrargs) X(diropargs) X(diropokres) X(readargs)            \
    X(writeargs) X(createargs) X(renameargs) X(readdirargs) X(entry) X(readdirokres)           \
    X(statfsokres)
// clang-format on

NFS2_XDR_TYPES(XDR_DECLARE_CODECS)
