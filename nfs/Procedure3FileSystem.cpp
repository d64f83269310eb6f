#include "HostFs.h"
#include "QDV_Procedure3.h"

namespace {

// What FSINFO advertises (RFC 1813 3.3.19): reads of 32 KiB, writes of 8 KiB, whole seconds.
constexpr uint32_t kWriteMax = 8192;
constexpr uint32_t kMultiple = 512;
constexpr uint32_t kDirPreferred = 8192;
constexpr uint64_t kMaxFileSize = 0x7FFFFFFFFFFFFFFFull;
constexpr uint32_t kCanSetTime = 0x10;

}  // namespace

// The byte figures are the volume's clusters times the cluster size; the file figures come from
// the host's file counts where it keeps them, and from the cluster counts otherwise.
nfsstat3 CQDV_Procedure3::ProcFsStat() {
    ClientPath path = ReadPath();
    post_op_attr attributes;
    nfsstat3 status = StartQuery(path, attributes);
    hostfs::DiskSpace space;
    if (status == NFS3_OK) {
        Trace(" NFS3 dir attributes ! \n");
        hostfs::SpaceResult result = hostfs::Fs().FreeSpace(path.path, space);
        if (result == hostfs::SpaceResult::kNoVolume) status = NFS3ERR_NOENT;
        if (result == hostfs::SpaceResult::kFailed) status = NFS3ERR_IO;
    }
    m_pOut->WriteInt32(status);
    Write(*m_pOut, attributes);
    if (status != NFS3_OK) return status;
    uint64_t cluster = space.sectorsPerCluster * space.bytesPerSector;
    uint64_t files = space.hasFileCounts ? space.totalFiles : space.totalClusters;
    uint64_t freeFiles = space.hasFileCounts ? space.freeFiles : space.freeClusters;
    m_pOut->WriteInt64(space.totalClusters * cluster);  // tbytes
    m_pOut->WriteInt64(space.freeClusters * cluster);   // fbytes
    m_pOut->WriteInt64(space.freeClusters * cluster);   // abytes
    m_pOut->WriteInt64(files);                          // tfiles
    m_pOut->WriteInt64(freeFiles);                      // ffiles
    m_pOut->WriteInt64(freeFiles);                      // afiles
    m_pOut->WriteInt32(0);                              // invarsec
    return status;
}

nfsstat3 CQDV_Procedure3::ProcFsInfo() {
    ClientPath path = ReadPath();
    post_op_attr attributes;
    nfsstat3 status = StartQuery(path, attributes);
    m_pOut->WriteInt32(status);
    Write(*m_pOut, attributes);
    if (status != NFS3_OK) return status;
    for (uint32_t value :
         {kRtMax, kRtMax, kMultiple, kWriteMax, kWriteMax, kMultiple, kDirPreferred}) {
        m_pOut->WriteInt32(value);
    }
    m_pOut->WriteInt64(kMaxFileSize);
    Write(*m_pOut, nfstime3{1, 0});
    m_pOut->WriteInt32(kCanSetTime);
    return status;
}
