#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NfsTestbed.h"
#include "QDV_ProcedureOld.h"

// NFS version 2 calls held in bytes, against the testbed with the version 2 set serving
// program 100003.
namespace nfs2 {

enum Procedure : uint32_t {
    kNull = 0,
    kGetAttr = 1,
    kSetAttr = 2,
    kLookup = 4,
    kRead = 6,
    kWrite = 8,
    kCreate = 9,
    kRemove = 10,
    kRename = 11,
    kMkdir = 14,
    kRmdir = 15,
    kReadDir = 16,
    kStatFs = 17,
};

using Handle = std::vector<uint8_t>;

struct Fattr {
    uint32_t type, mode, nlink, uid, gid, size, blocksize, rdev, blocks, fsid, fileid;
    uint32_t atime, atimeUs, mtime, mtimeUs, ctime, ctimeUs;
};
Fattr ReadFattr(WordReader& reply);

struct Entry {
    uint32_t fileid;
    std::string name;
    uint32_t cookie;
};
// The entries of a READDIR reply after its status, and its eof.
std::vector<Entry> ReadEntries(WordReader& reply, bool& eof);

XdrBytes Fh(const Handle& handle);
XdrBytes DirOp(const Handle& folder, const std::string& name);
XdrBytes ReadDirArgs(const Handle& folder, uint32_t cookie, uint32_t count);

// The set behind a testbed, share k of which is mounted with MOUNT version 1.
class Client {
  public:
    explicit Client(NfsTestbed& bed);

    CQDV_ProcedureOld& Set() { return *m_pSet; }
    Handle Root(int k);
    HandledCall Raw(uint32_t procedure, const XdrBytes& args);
    // The reply after an accept status that must be SUCCESS.
    WordReader Call(uint32_t procedure, const XdrBytes& args);
    // The 32-byte handle, or empty when refused.
    Handle Lookup(const Handle& folder, const std::string& name);

  private:
    NfsTestbed& m_bed;
    CQDV_ProcedureOld* m_pSet;
};

}  // namespace nfs2
