#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ClientPaths.h"
#include "ExclusiveVerifiers.h"
#include "HostFs.h"
#include "Nfs3Types.h"
#include "ProcedureTableHandler.h"

struct HostTransfer;
struct ListedName;

// NFS version 3 (RFC 1813) over the shared folders. One constant table, indexed by procedure
// number, names each procedure and its handler; the dispatcher owns tracing, the unserved range
// and turning a failed decode into GARBAGE_ARGS. Handlers decode all their arguments, then work,
// then encode, and return their nfsstat3.
class CQDV_Procedure3 : public CProcedureTableHandler {
  public:
    // The most one READ answers; FSINFO advertises it as rtmax.
    static constexpr uint32_t kRtMax = 32768;

    CQDV_Procedure3() = default;
    ~CQDV_Procedure3() override;

    void SetOwner(int32_t uid, int32_t gid);
    static bool ProcedureChangesFileSystem(uint32_t procedure);
    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override;

  private:
    using Procedure = NamedProcedure<CQDV_Procedure3, nfsstat3>;
    static const Procedure kProcedures[];
    static const uint32_t kProcedureCount;

    const char* ProgramTrace() const override { return "NFS "; }
    nfsstat3 ProcNull();
    nfsstat3 ProcNoImp();
    nfsstat3 ProcGetAttr();
    nfsstat3 ProcSetAttr();
    nfsstat3 ProcLookup();
    nfsstat3 ProcAccess();
    nfsstat3 ProcReadDir();
    nfsstat3 ProcReadDirPlus();
    nfsstat3 ProcFsStat();
    nfsstat3 ProcFsInfo();

    nfsstat3 ProcRead();
    nfsstat3 ProcWrite();
    nfsstat3 ProcCreate();
    nfsstat3 ProcCommit();
    nfsstat3 ProcMkdir();
    nfsstat3 ProcRmdir();
    nfsstat3 ProcRename();
    static nfsstat3 NewNameRefusal(const ClientPath& where);
    void WriteNewEntry(nfsstat3 status, const ClientPath& path, const wcc_data& dirWcc);

    // The status, then the results of a success or the part of them that a failure carries too
    // (RFC 1813's resok and resfail), by the same codecs.
    template <typename Ok, typename Failed>
    nfsstat3 Answer(nfsstat3 status, const Ok& ok, const Failed& failed) {
        m_pOut->WriteInt32(status);
        if (status == NFS3_OK) {
            Write(*m_pOut, ok);
        } else {
            Write(*m_pOut, failed);
        }
        return status;
    }

    static nfsstat3 StatusOf(PathOutcome outcome);
    static nfsstat3 StatusOf(hostfs::HostError error);
    ClientPath PathOf(const nfs_fh3& handle);
    // The folder's handle and the name, joined; `folder` receives the folder's own path.
    ClientPath PathOf(const diropargs3& args, ClientPath* folder = nullptr);
    nfsstat3 CheckPath(const ClientPath& path);
    // CheckPath, with the attributes of a found path from the same query of the host.
    nfsstat3 CheckPath(const ClientPath& path, post_op_attr& attributes);
    static void MakeHandle(PathView path, nfs_fh3& handle);
    bool GetAttributes(const ClientPath& path, fattr3& attributes);
    fattr3 ToFattr(const FileAttributes& host) const;
    // TRUE with the attributes when the host has them, FALSE otherwise (and for no path).
    post_op_attr PostOpAttributes(const ClientPath& path);
    // The attributes that a transfer took once its work was done, else those of the path.
    post_op_attr PostOpAttributes(const ClientPath& path, const HostTransfer& transfer);
    static nfsstat3 ApplyAttributes(PathView path, const sattr3& attributes);
    nfsstat3 StartQuery(const ClientPath& path, post_op_attr& attributes);
    nfsstat3 ListFolder(const nfs_fh3& dir, uint64_t cookie, uint64_t cookieverf, uint32_t maxcount,
                        bool plus);
    void WriteEntry(std::string_view folder, const ListedName& entry, uint64_t cookie, bool plus);

    int32_t m_nUid = 0;
    int32_t m_nGid = 0;
    ExclusiveVerifiers m_verifiers;
};
