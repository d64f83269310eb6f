#pragma once

#include <cstdint>

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
