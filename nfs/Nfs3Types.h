#pragma once

#include <cstdint>
#include <string_view>

#include "Opaque.h"
#include "XdrCoder.h"

// NFS version 3 types (RFC 1813 section 2.5) with their XDR codecs. Decoders throw
// XdrDecodeError when the arguments run short.

#define NFS3_STATUS_LIST(X)                      \
    X(NFS3_OK, 0, "OK")                          \
    X(NFS3ERR_PERM, 1, "PERM")                   \
    X(NFS3ERR_NOENT, 2, "NOENT")                 \
    X(NFS3ERR_IO, 5, "IO")                       \
    X(NFS3ERR_NXIO, 6, "NXIO")                   \
    X(NFS3ERR_ACCES, 13, "ACCESS")               \
    X(NFS3ERR_EXIST, 17, "EXIST")                \
    X(NFS3ERR_XDEV, 18, "XDEV")                  \
    X(NFS3ERR_NODEV, 19, "NODEV")                \
    X(NFS3ERR_NOTDIR, 20, "NOTDIR")              \
    X(NFS3ERR_ISDIR, 21, "ISDIR")                \
    X(NFS3ERR_INVAL, 22, "INVAL")                \
    X(NFS3ERR_FBIG, 27, "FBIG")                  \
    X(NFS3ERR_NOSPC, 28, "NOSPC")                \
    X(NFS3ERR_ROFS, 30, "ROFS")                  \
    X(NFS3ERR_MLINK, 31, "MLINK")                \
    X(NFS3ERR_NAMETOOLONG, 63, "NAMETOOLONG")    \
    X(NFS3ERR_NOTEMPTY, 66, "NOTEMPTY")          \
    X(NFS3ERR_DQUOT, 69, "DQUOT")                \
    X(NFS3ERR_STALE, 70, "STALE")                \
    X(NFS3ERR_REMOTE, 71, "REMOTE")              \
    X(NFS3ERR_BADHANDLE, 10001, "BADHANDLE")     \
    X(NFS3ERR_NOT_SYNC, 10002, "NOT_SYNC")       \
    X(NFS3ERR_BAD_COOKIE, 10003, "BAD_COOKIE")   \
    X(NFS3ERR_NOTSUPP, 10004, "NOTSUPP")         \
    X(NFS3ERR_TOOSMALL, 10005, "TOOSMALL")       \
    X(NFS3ERR_SERVERFAULT, 10006, "SERVERFAULT") \
    X(NFS3ERR_BADTYPE, 10007, "BADTYPE")         \
    X(NFS3ERR_JUKEBOX, 10008, "JUKEBOX")

enum nfsstat3 : uint32_t {
#define NFS3_STATUS_ENUM(name, value, text) name = value,
    NFS3_STATUS_LIST(NFS3_STATUS_ENUM)
#undef NFS3_STATUS_ENUM
};

// The status's trace name, or null for a value outside the list.
const char* Nfs3StatusName(uint32_t status);

enum ftype3 : uint32_t { NF3NON = 0, NF3REG = 1, NF3DIR = 2, NF3CHR = 4 };

// A file handle: 64 zero bytes until decoded or made from a handle record.
class nfs_fh3 : public opaque {
  public:
    static constexpr uint32_t kSize = 64;
    nfs_fh3() : opaque(kSize) {}
};

// A name with a NUL after its bytes, so that it can be used as text.
class filename3 : public opaque {
  public:
    void Allocate(uint32_t length) override;
    void Set(const char* text);
    const char* Text() const { return m_pszText; }
    std::string_view View() const { return {m_pszText, Length()}; }

  private:
    const char* m_pszText = "";
};

struct diropargs3 {
    nfs_fh3 dir;
    filename3 name;
};

struct nfstime3 {
    uint32_t seconds = 0;
    uint32_t nseconds = 0;
};

struct specdata3 {
    uint32_t specdata1 = 0;
    uint32_t specdata2 = 0;
};

struct fattr3 {
    uint32_t type = 0;
    uint32_t mode = 0;
    uint32_t nlink = 0;
    uint32_t uid = 0;
    uint32_t gid = 0;
    uint64_t size = 0;
    uint64_t used = 0;
    specdata3 rdev;
    uint64_t fsid = 0;
    uint64_t fileid = 0;
    nfstime3 atime;
    nfstime3 mtime;
    nfstime3 ctime;
};

struct post_op_attr {
    bool attributes_follow = false;
    fattr3 attributes;
};

struct wcc_attr {
    uint64_t size = 0;
    nfstime3 mtime;
    nfstime3 ctime;
};

struct pre_op_attr {
    bool attributes_follow = false;
    wcc_attr attributes;
};

struct wcc_data {
    pre_op_attr before;
    post_op_attr after;
};

enum time_how : uint32_t { DONT_CHANGE = 0, SET_TO_SERVER_TIME = 1, SET_TO_CLIENT_TIME = 2 };

struct set_time {
    uint32_t how = DONT_CHANGE;
    nfstime3 time;  // when how is SET_TO_CLIENT_TIME
};

struct sattr3 {
    bool set_mode = false;
    uint32_t mode = 0;
    bool set_uid = false;
    uint32_t uid = 0;
    bool set_gid = false;
    uint32_t gid = 0;
    bool set_size = false;
    uint64_t size = 0;
    set_time atime;
    set_time mtime;
};

struct sattrguard3 {
    bool check = false;
    nfstime3 obj_ctime;
};

enum createmode3 : uint32_t { UNCHECKED = 0, GUARDED = 1, EXCLUSIVE = 2 };

struct createhow3 {
    uint32_t mode = UNCHECKED;
    sattr3 obj_attributes;  // UNCHECKED and GUARDED
    uint64_t verf = 0;      // any other mode (EXCLUSIVE)
};

enum stable_how : uint32_t { UNSTABLE = 0, DATA_SYNC = 1, FILE_SYNC = 2 };

struct post_op_fh3 {
    bool handle_follows = false;
    nfs_fh3 handle;
};

// The arguments of the procedures this server serves, and their results beyond the status
// (RFC 1813 3.3), in the standard's names. A WRITE's data, and a READ's, stay where they lie in
// the call or the reply.

struct GETATTR3args {
    nfs_fh3 object;
};

struct SETATTR3args {
    nfs_fh3 object;
    sattr3 new_attributes;
    sattrguard3 guard;
};

struct ACCESS3args {
    nfs_fh3 object;
    uint32_t access = 0;
};

struct ACCESS3resok {
    post_op_attr obj_attributes;
    uint32_t access = 0;
};

struct READ3args {
    nfs_fh3 file;
    uint64_t offset = 0;
    uint32_t count = 0;
};

struct READ3resok {
    post_op_attr file_attributes;
    uint32_t count = 0;
    bool eof = false;
    OpaqueView data;
};

struct WRITE3args {
    nfs_fh3 file;
    uint64_t offset = 0;
    uint32_t count = 0, stable = UNSTABLE;
    OpaqueView data;
};

struct WRITE3resok {
    wcc_data file_wcc;
    uint32_t count = 0, committed = UNSTABLE;
    uint64_t verf = 0;
};

struct CREATE3args {
    diropargs3 where;
    createhow3 how;
};

struct MKDIR3args {
    diropargs3 where;
    sattr3 attributes;
};

struct RENAME3args {
    diropargs3 from;
    diropargs3 to;
};

struct READDIR3args {
    nfs_fh3 dir;
    uint64_t cookie = 0, cookieverf = 0;
    uint32_t count = 0;
};

struct READDIRPLUS3args {
    nfs_fh3 dir;
    uint64_t cookie = 0, cookieverf = 0;
    uint32_t dircount = 0, maxcount = 0;
};

// The name stays where it lies: in the listing being answered, or in the reply being read.
struct entry3 {
    uint64_t fileid = 0;
    std::string_view name;
    uint64_t cookie = 0;
};

struct entryplus3 {
    entry3 entry;
    post_op_attr name_attributes;
    post_op_fh3 name_handle;
};

struct FSSTAT3args {
    nfs_fh3 fsroot;
};

// The same field as FSSTAT's (RFC 1813 3.3.19).
using FSINFO3args = FSSTAT3args;

struct FSSTAT3resok {
    post_op_attr obj_attributes;
    uint64_t tbytes = 0, fbytes = 0, abytes = 0;  // total, free, free to the caller
    uint64_t tfiles = 0, ffiles = 0, afiles = 0;
    uint32_t invarsec = 0;
};

struct FSINFO3resok {
    post_op_attr obj_attributes;
    uint32_t rtmax = 0, rtpref = 0, rtmult = 0;  // READ sizes: the most, the best, the multiple
    uint32_t wtmax = 0, wtpref = 0, wtmult = 0;  // WRITE sizes likewise
    uint32_t dtpref = 0;
    uint64_t maxfilesize = 0;
    nfstime3 time_delta;
    uint32_t properties = 0;
};

// The same fields as READ's: file, offset, count (RFC 1813 3.3.21).
using COMMIT3args = READ3args;

struct COMMIT3resok {
    wcc_data file_wcc;
    uint64_t verf = 0;
};

// Every type above with its Read and Write.
// clang-format off
#define NFS3_XDR_TYPES(X)                                                                      \
    X(nfstime3) X(specdata3) X(fattr3) X(post_op_attr) X(wcc_attr) X(pre_op_attr) X(wcc_data) \
    X(post_op_fh3) X(set_time) X(sattr3) X(sattrguard3) X(diropargs3) X(createhow3)            \
    X(GETATTR3args) X(SETATTR3args) X(ACCESS3args) X(ACCESS3resok) X(READ3args) X(READ3resok) X(WRITE3args)   \
    X(WRITE3resok) X(CREATE3args) X(MKDIR3args) X(RENAME3args) X(READDIR3args)                \
    X(READDIRPLUS3args) X(entry3) X(entryplus3) X(FSSTAT3args) X(FSSTAT3resok) X(FSINFO3resok)               \
    X(COMMIT3resok)
// clang-format on

NFS3_XDR_TYPES(XDR_DECLARE_CODECS)
