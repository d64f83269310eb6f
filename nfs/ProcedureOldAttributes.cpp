#include <algorithm>
#include <limits>

#include "AttributeChanges.h"
#include "QDV_ProcedureOld.h"

nfsstat CQDV_ProcedureOld::ProcGetAttr() {
    fhandle handle;
    fattr attributes;
    nfsstat status = CheckedAttributes(PathOf(Decode(handle)), attributes);
    return WriteAttrStat(status, attributes);
}

namespace {

// Clients that want the server's clock send one million microseconds, a value no real time
// carries (the convention of the version 2 clients of Sun and Linux).
constexpr uint32_t kServerTimeMicroseconds = 1000000;

TimeSetting ToTimeSetting(const nfstime2& time) {
    TimeSetting setting;
    if (time.seconds == kSattrUnset && time.useconds == kSattrUnset) return setting;
    if (time.useconds == kServerTimeMicroseconds) {
        setting.change = TimeChange::kServerTime;
    } else {
        setting.change = TimeChange::kClientTime;
        setting.seconds = time.seconds;
    }
    return setting;
}

// The mode always applies: all ones carries both owner bits and so clears the read-only mark.
// The owner numbers of a request are ignored: every file belongs to the configured owner.
AttributeChanges ToChanges(const sattr& attributes) {
    AttributeChanges changes;
    changes.setMode = true;
    changes.mode = attributes.mode;
    changes.setSize = attributes.size != kSattrUnset;
    changes.size = attributes.size;
    changes.atime = ToTimeSetting(attributes.atime);
    changes.mtime = ToTimeSetting(attributes.mtime);
    return changes;
}

}  // namespace

nfsstat CQDV_ProcedureOld::ProcSetAttr() {
    sattrargs args;
    ClientPath file = PathOf(Decode(args).file);
    nfsstat status = StatusOf(ExistingOutcome(file));
    if (status == NFS_OK) {
        status = StatusOf(ApplyAttributeChanges(file.path, ToChanges(args.attributes)).error);
    }
    fattr after;
    if (status == NFS_OK) status = GetAttributes(file, after);
    return WriteAttrStat(status, after);
}

// Looking up "." or ".." gives a separate entry for the joined path, which the host resolves to
// the folder itself or its parent.
nfsstat CQDV_ProcedureOld::ProcLookup() {
    diropargs args;
    ClientPath path = PathOf(Decode(args));
    diropokres result;
    nfsstat status = CheckedAttributes(path, result.attributes);
    if (status == NFS_OK) CopyHandle(path.path, result.file);
    return WriteDirOpRes(status, result);
}

namespace {

uint32_t Saturated(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

// Version 2 counts in 32-bit words. A volume with more clusters than a word holds is counted
// in blocks of twice, four times ... the cluster, until the count fits, so that blocks times
// bsize still gives its size; whatever still does not fit saturates. tsize stays the cluster,
// the transfer size the host itself works in.
statfsokres StatFsFigures(const hostfs::DiskSpace& space) {
    constexpr uint64_t kWordMax = std::numeric_limits<uint32_t>::max();
    const uint64_t cluster = space.sectorsPerCluster * space.bytesPerSector;
    uint64_t block = cluster;
    uint64_t blocks = space.totalClusters;
    uint64_t free = space.freeClusters;
    while (blocks > kWordMax && block != 0 && block <= kWordMax / 2) {
        block *= 2;
        blocks /= 2;
        free /= 2;
    }
    statfsokres info;
    info.tsize = Saturated(cluster);
    info.bsize = Saturated(block);
    info.blocks = Saturated(blocks);
    info.bfree = Saturated(free);
    info.bavail = info.bfree;
    return info;
}

nfsstat CQDV_ProcedureOld::ProcStatFs() {
    fhandle handle;
    ClientPath path = PathOf(Decode(handle));
    nfsstat status = StatusOf(ExistingOutcome(path));
    hostfs::DiskSpace space;
    if (status == NFS_OK) status = StatusOf(hostfs::Fs().FreeSpace(path.path, space));
    m_pOut->WriteInt32(status);
    if (status == NFS_OK) Write(*m_pOut, StatFsFigures(space));
    return status;
}
