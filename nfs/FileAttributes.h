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
    uint32_t fileid = 0;  // the path's handle-table index
    int64_t atime = 0;
    int64_t mtime = 0;
    int64_t ctime = 0;
};

// False, leaving `attributes` alone, when the host gives no status for the path.
bool QueryAttributes(const std::string& path, FileAttributes& attributes);

// The attributes of `path` from its host status.
FileAttributes AttributesOf(const std::string& path, const hostfs::FileStatus& status);
