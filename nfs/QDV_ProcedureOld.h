#pragma once

#include <cstdint>
#include <string>

#include "ClientPaths.h"
#include "HostFs.h"
#include "Nfs2Types.h"
#include "ProcedureTableHandler.h"

// NFS version 2 (RFC 1094) over the shared folders. One constant table, indexed by procedure
// number, names each procedure and its handler; the dispatcher owns tracing, the unserved range
// and turning a failed decode into GARBAGE_ARGS. Any other exception leaves Dispatch for the NFS
// program to report. Handlers decode all their arguments, then work, then encode, and return
// their nfsstat.
class CQDV_ProcedureOld : public CProcedureTableHandler {
  public:
    CQDV_ProcedureOld() = default;
    ~CQDV_ProcedureOld() override;

    void SetOwner(int32_t uid, int32_t gid);
    static bool ProcedureChangesFileSystem(uint32_t procedure);
    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override;

  private:
    using Procedure = NamedProcedure<CQDV_ProcedureOld, nfsstat>;
    static const Procedure kProcedures[];
    static const uint32_t kProcedureCount;
    using HostChange = hostfs::HostError (*)(PathView path);

    const char* ProgramTrace() const override { return "NFS "; }
    const char* NotServedTrace() const override { return "NOTIMP"; }
    nfsstat ProcNull();
    nfsstat ProcNotImp();
    nfsstat ProcGetAttr();
    nfsstat ProcSetAttr();
    nfsstat ProcLookup();
    nfsstat ProcRead();
    nfsstat ProcWrite();
    nfsstat ProcCreate();
    nfsstat ProcRemove();
    nfsstat ProcRename();
    nfsstat ProcMkdir();
    nfsstat ProcRmdir();
    nfsstat ProcReadDir();
    nfsstat ProcStatFs();

    static nfsstat StatusOf(PathOutcome outcome);
    static nfsstat StatusOf(hostfs::HostError error);
    ClientPath PathOf(const fhandle& handle);
    ClientPath PathOf(const diropargs& args);
    nfsstat GetAttributes(const ClientPath& path, fattr& attributes);
    // The status of a path that must exist, with its attributes from the same query of the host.
    nfsstat CheckedAttributes(const ClientPath& path, fattr& attributes);
    fattr ToFattr(const FileAttributes& host) const;
    nfsstat DirOpResult(const ClientPath& path, diropokres& result);
    static void CopyHandle(PathView path, fhandle& handle);
    nfsstat ServeCreation(HostChange create);
    nfsstat ServeRemoval(HostChange remove);
    nfsstat WriteAttrStat(nfsstat status, const fattr& attributes);
    nfsstat WriteDirOpRes(nfsstat status, const diropokres& result);

    int32_t m_nUid = 0;
    int32_t m_nGid = 0;
};

// The host's free-space figures in the five 32-bit words of STATFS.
statfsokres StatFsFigures(const hostfs::DiskSpace& space);
