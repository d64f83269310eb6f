#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "PathText.h"

#include "ProcedureTableHandler.h"

// The MOUNT program (100005, RFC 1813 appendix I; version 1 as in RFC 1094 appendix A): hands
// out the root handles of the exports "/quonhd1" to "/quonhd4" and of folders inside them, lists
// the exports, and counts mounts so the application can show who is connected.
class CQDV_MountManager : public CProcedureTableHandler {
  public:
    static constexpr int kShares = 4;
    static constexpr int kClientSlots = 100;
    static constexpr uint32_t kPathBuffer = 1024;

    CQDV_MountManager();
    ~CQDV_MountManager() override;

    void SetSharePaths(const char* path1, const char* path2, const char* path3, const char* path4);
    int GetMountCount() const { return m_nMountCount; }
    int Dispatch(IInputStream& in, IOutputStream& out, const RPCCallContext& context) override;

  private:
    using Procedure = void (CQDV_MountManager::*)();

    void ProcNull();
    void ProcMnt();
    void ProcUmnt();
    void ProcExport();
    void ProcNoImp();
    const char* ProgramTrace() const override { return "MOUNT "; }

    const char* ReadDirPath();
    int FindExport(const char* path, const char*& rest) const;
    // The host folder that a mount of `share`, with `rest` after its export name, answers.
    bool MountedFolder(int share, const char* rest, PathText& folder);
    PathText ShareRoot(int share, bool named);
    void WriteMountHandle(std::string_view folder);
    void RememberClient(const char* client);
    bool ForgetClient(const char* client);

    static const Procedure kProcedures[];

    // Per share since the last SetSharePaths: whether a mount has named its bare drive (D:) as
    // the drive's root (D:\.), which later mounts of any version then answer too.
    bool m_bDriveRootNamed[kShares] = {};
    // Read by the application's thread (GetMountCount) while calls change it.
    std::atomic<int> m_nMountCount{0};
    char* m_pszClients[kClientSlots] = {};
    char m_szDirPath[kPathBuffer + 1] = {};
};
