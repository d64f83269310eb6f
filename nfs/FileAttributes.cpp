#include "FileAttributes.h"

#include "HostFs.h"

namespace {

struct KindCodes {
    hostfs::FileKind kind;
    uint32_t type;
    uint32_t typeBits;
};

const KindCodes kKindCodes[] = {
    {hostfs::FileKind::kRegular, 1, 0100000},
    {hostfs::FileKind::kDirectory, 2, 040000},
    {hostfs::FileKind::kCharDevice, 4, 0},
};

}  // namespace

bool QueryAttributes(PathView path, uint32_t fileid, FileAttributes& attributes) {
    hostfs::FileStatus status;
    if (hostfs::Fs().Status(path, status) != hostfs::HostError::kNone) return false;
    attributes = AttributesOf(status, fileid);
    return true;
}

FileAttributes AttributesOf(const hostfs::FileStatus& status, uint32_t fileid) {
    uint32_t type = 0;
    uint32_t mode = 0;
    for (const KindCodes& codes : kKindCodes) {
        if (codes.kind == status.kind) {
            type = codes.type;
            mode = codes.typeBits;
        }
    }
    if (status.readable) mode |= 0444;
    if (status.writable) mode |= 0222;
    if (status.executable) mode |= 0111;
    FileAttributes attributes;
    attributes.type = type;
    attributes.mode = mode;
    attributes.nlink = status.links;
    attributes.size = status.size;
    attributes.fileid = fileid;
    attributes.atime = status.atime;
    attributes.mtime = status.mtime;
    attributes.ctime = status.ctime;
    return attributes;
}
