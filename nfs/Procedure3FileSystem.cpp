#include "HostFs.h"
#include "QDV_Procedure3.h"

namespace {

// What FSINFO advertises (RFC 1813 3.3.19): reads of 32 KiB, writes of 8 KiB, whole seconds.
constexpr uint32_t kWriteMax = 8192;
constexpr uint32_t kMultiple = 512;
constexpr uint32_t kDirPreferred = 8192;
constexpr uint64_t kMaxFileSize = 0x7FFFFFFFFFFFFFFFull;
constexpr uint32_t kCanSetTime = 0x10;

FSINFO3resok Limits() {
    FSINFO3resok info;
    info.rtmax = info.rtpref = CQDV_Procedure3::kRtMax;
    info.rtmult = info.wtmult = kMultiple;
    info.wtmax = info.wtpref = kWriteMax;
    info.dtpref = kDirPreferred;
    info.maxfilesize = kMaxFileSize;
    info.time_delta = nfstime3{1, 0};
    info.properties = kCanSetTime;
    return info;
}

// The byte figures are the volume's clusters times the cluster size; the file figures come from
// the host's file counts where it keeps them, and from the cluster counts otherwise.
void PutFigures(const hostfs::DiskSpace& space, FSSTAT3resok& figures) {
    const uint64_t cluster = space.sectorsPerCluster * space.bytesPerSector;
    figures.tbytes = space.totalClusters * cluster;
    figures.fbytes = figures.abytes = space.freeClusters * cluster;
    figures.tfiles = space.hasFileCounts ? space.totalFiles : space.totalClusters;
    figures.ffiles = figures.afiles = space.hasFileCounts ? space.freeFiles : space.freeClusters;
    figures.invarsec = 0;
}

}  // namespace

nfsstat3 CQDV_Procedure3::ProcFsStat() {
    FSSTAT3args args;
    ClientPath path = PathOf(Decode(args).fsroot);
    FSSTAT3resok result;
    nfsstat3 status = StartQuery(path, result.obj_attributes);
    hostfs::DiskSpace space;
    if (status == NFS3_OK) {
        Trace(" NFS3 dir attributes ! \n");
        status = StatusOf(hostfs::Fs().FreeSpace(path.path, space));
    }
    if (status == NFS3_OK) PutFigures(space, result);
    return Answer(status, result, result.obj_attributes);
}

nfsstat3 CQDV_Procedure3::ProcFsInfo() {
    FSINFO3args args;
    FSINFO3resok result = Limits();
    nfsstat3 status = StartQuery(PathOf(Decode(args).fsroot), result.obj_attributes);
    return Answer(status, result, result.obj_attributes);
}
