#include <algorithm>

#include "DorvelFileManager.h"
#include "QDV_ProcedureOld.h"
#include "ReplyData.h"

using hostfs::OpenMode;

namespace {

// Version 2 shares files with the programs on the PC: no exclusive opens.
constexpr bool kExclusiveOpens = false;

// Status, attributes and the data's length.
constexpr uint32_t kReadHead = 4 + 68 + 4;

// An existing file of the name is emptied: clients create over a name to overwrite it. One the
// host would only take for that name (another letter case, an 8.3 alias) is not: the client
// asked for a new name, and emptying another file would lose it.
hostfs::HostError CreateEmptyFile(PathView path) {
    if (MatchOnHost(path) == HostMatch::kOtherSpelling) return hostfs::HostError::kExists;
    std::unique_ptr<hostfs::IHostFile> file;
    return hostfs::Fs().Open(path, OpenMode::kCreateAlways, kExclusiveOpens, file);
}

hostfs::HostError MakeFolder(PathView path) {
    return hostfs::Fs().MakeFolder(path);
}

hostfs::HostError RemoveFile(PathView path) {
    return hostfs::Fs().RemoveFile(path);
}

hostfs::HostError RemoveFolder(PathView path) {
    return hostfs::Fs().RemoveFolder(path);
}

}  // namespace

// The attributes are the file's once the data is read; a reply without them would
// be no attrstat. RFC 1094 2.2.7: a READ returns at most NFS_MAXDATA bytes; a larger count gets
// a short read.
nfsstat CQDV_ProcedureOld::ProcRead() {
    readargs args;
    ClientPath file = PathOf(Decode(args).file);
    nfsstat status = StatusOf(ExistingOutcome(file));
    ReplyData read;
    if (status == NFS_OK) {
        read = ReadIntoReply(*m_pOut, kReadHead, file, args.offset,
                             std::min(args.count, NFS_MAXDATA), kExclusiveOpens);
        status = StatusOf(read.error);
        if (status == NFS_OK && !read.hasAttributes) status = NFSERR_IO;
    }
    m_pOut->WriteInt32(status);
    if (status == NFS_OK) {
        Write(*m_pOut, ToFattr(read.attributes));
        WriteOpaque(*m_pOut, read.data, read.done);
    }
    return status;
}

// Only offset places the data; beginoffset and totalcount are unused (RFC 1094 2.2.9). A write
// that lands fewer bytes than sent has failed: the client would otherwise take the rest as
// written. The attributes are the file's once the data is written.
nfsstat CQDV_ProcedureOld::ProcWrite() {
    writeargs args;
    ClientPath file = PathOf(Decode(args).file);
    nfsstat status = StatusOf(ExistingOutcome(file));
    HostTransfer written;
    if (status == NFS_OK) {
        written = WriteFromCall(file, kExclusiveOpens, args.offset, args.data.data,
                                args.data.length, true);
        status = StatusOf(written.error);
        if (status == NFS_OK && !written.hasAttributes) status = NFSERR_IO;
    }
    return WriteAttrStat(status, ToFattr(written.attributes));
}

// The initial attributes are decoded and not applied: the host gives the new file or folder
// its default permissions. The name need not exist, so only the folder and the join are checked.
nfsstat CQDV_ProcedureOld::ServeCreation(HostChange create) {
    createargs args;
    ClientPath path = PathOf(Decode(args).where);
    nfsstat status = StatusOf(path.outcome);
    if (status == NFS_OK) status = StatusOf(create(path.path));
    diropokres result;
    if (status == NFS_OK) status = DirOpResult(path, result);
    return WriteDirOpRes(status, result);
}

nfsstat CQDV_ProcedureOld::ProcCreate() {
    return ServeCreation(CreateEmptyFile);
}

nfsstat CQDV_ProcedureOld::ProcMkdir() {
    return ServeCreation(MakeFolder);
}

// The removed path keeps its table entry; its handle then answers NFSERR_NOENT.
nfsstat CQDV_ProcedureOld::ServeRemoval(HostChange remove) {
    diropargs args;
    ClientPath path = OwnEntry(PathOf(Decode(args)));
    nfsstat status = StatusOf(ExistingOutcome(path));
    if (status == NFS_OK) status = StatusOf(remove(path.path));
    m_pOut->WriteInt32(status);
    return status;
}

nfsstat CQDV_ProcedureOld::ProcRemove() {
    return ServeRemoval(RemoveFile);
}

nfsstat CQDV_ProcedureOld::ProcRmdir() {
    return ServeRemoval(RemoveFolder);
}

// The table moves the host entry and keeps the handles, so handles the client holds, also of
// everything inside a moved folder, follow the move. The host refuses a target that exists.
nfsstat CQDV_ProcedureOld::ProcRename() {
    renameargs args;
    const ClientPath from = OwnEntry(PathOf(Decode(args).from));
    const ClientPath to = PathOf(args.to);
    nfsstat status = StatusOf(ExistingOutcome(from));
    if (status == NFS_OK) status = StatusOf(to.outcome);
    if (status == NFS_OK) status = StatusOf(FileManager().Rename(from.path, to.path));
    m_pOut->WriteInt32(status);
    return status;
}
