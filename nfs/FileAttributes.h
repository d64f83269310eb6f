#pragma once

#include <cstdint>
#include <string>

#include "HostFs.h"

// What both NFS versions report about a host file, made from its host status. Type and mode
// use the numbers common to both versions (1 regular, 2 folder, 4 character device; the type
// bits 0100000 and 040000 beside the permission bits).
struct FileAttributes {
    uint32_t type = 0;
    uint32_t mode = 0;
    uint32_t nlink = 0;
    uint64_t size = 0;
    uint32_t fileid = 0;  // a handle-table index
    int64_t atime = 0;
    int64_t mtime = 0;
    int64_t ctime = 0;
};

// The attributes of the file at `path`, reported with `fileid`; false, leaving `attributes`
// alone, when the host gives no status for the path.
bool QueryAttributes(PathView path, uint32_t fileid, FileAttributes& attributes);

// The attributes of a file from its host status, reported with `fileid`.
FileAttributes AttributesOf(const hostfs::FileStatus& status, uint32_t fileid);
