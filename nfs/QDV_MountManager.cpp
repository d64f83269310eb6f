#include "QDV_MountManager.h"

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "Opaque.h"
#include "ShareEvents.h"
#include "SharePaths.h"
#include "Xdr.h"

namespace {

const char* const kExportNames[CQDV_MountManager::kShares] = {"/quonhd1", "/quonhd2", "/quonhd3",
                                                              "/quonhd4"};

// Mount statuses shared by version 1 (errno values) and version 3 (mountstat3).
constexpr uint32_t kMountOk = 0;
constexpr uint32_t kMountNoEntry = 2;
constexpr uint32_t kMountAccess = 13;

constexpr uint32_t kVersion1HandleSize = 32;

// Whether `text` starts with `prefix`, letter case aside.
bool StartsIgnoringCase(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (std::toupper(static_cast<unsigned char>(*text)) !=
            std::toupper(static_cast<unsigned char>(*prefix))) {
            return false;
        }
    }
    return true;
}

// The folder that the names of `rest` ("/Films/2024") lead to from a share's folder, each name
// joined by the share rule and found under exactly its name, as LOOKUP would find it. Dot steps
// are refused: a mount names its folder plainly.
bool FolderInShare(std::string_view root, std::string_view rest, PathText& folder) {
    folder.Assign(root);
    while (!rest.empty()) {
        rest.remove_prefix(1);
        std::string_view name = rest.substr(0, rest.find('/'));
        rest.remove_prefix(name.size());
        PathText joined;
        if (name == "." || name == ".." || JoinSharePath(folder, name, joined) != JoinResult::kOk ||
            !PathExists(joined)) {
            return false;
        }
        folder = joined;
    }
    hostfs::FileStatus status;
    return hostfs::Fs().Status(folder, status) == hostfs::HostError::kNone &&
           status.kind == hostfs::FileKind::kDirectory;
}

// A drive root chosen as D:\ reaches us as D: once its trailing backslash is cut; a bare drive
// names the drive's current folder, so the handle is made for D:\. instead.
bool IsBareDrive(std::string_view path) {
    return path.size() == 2 && path[1] == ':';
}

}  // namespace

const CQDV_MountManager::Procedure CQDV_MountManager::kProcedures[] = {
    &CQDV_MountManager::ProcNull,    // 0 NULL
    &CQDV_MountManager::ProcMnt,     // 1 MNT
    &CQDV_MountManager::ProcNoImp,   // 2 DUMP
    &CQDV_MountManager::ProcUmnt,    // 3 UMNT
    &CQDV_MountManager::ProcNoImp,   // 4 UMNTALL
    &CQDV_MountManager::ProcExport,  // 5 EXPORT
};

CQDV_MountManager::CQDV_MountManager() = default;

CQDV_MountManager::~CQDV_MountManager() {
    for (char*& client : m_pszClients) delete[] std::exchange(client, nullptr);
}

// The folders go to SharePaths, their one record, at most kPathBuffer - 1 characters each.
void CQDV_MountManager::SetSharePaths(const char* path1, const char* path2, const char* path3,
                                      const char* path4) {
    const char* paths[kShares] = {path1, path2, path3, path4};
    std::string roots[kShares];
    for (int i = 0; i < kShares; ++i) {
        if (paths[i] != nullptr) roots[i].assign(paths[i], strnlen(paths[i], kPathBuffer - 1));
        m_bDriveRootNamed[i] = false;
    }
    SetShareRoots(roots);
}

int CQDV_MountManager::Dispatch(IInputStream& in, IOutputStream& out,
                                const RPCCallContext& context) {
    return ServeCall(in, out, context, sizeof kProcedures / sizeof kProcedures[0],
                     OtherFailures::kGarbage,
                     [this, &context] { (this->*kProcedures[context.procedure])(); });
}

void CQDV_MountManager::ProcNull() {
    Trace("NULL");
}

void CQDV_MountManager::ProcNoImp() {
    Trace("NOIMP");
    NotServed();
}

// A dirpath longer than a host path is cut to kPathBuffer bytes; it can then match no export.
const char* CQDV_MountManager::ReadDirPath() {
    uint32_t length = ReadUint32(*m_pIn);
    uint32_t kept = length > kPathBuffer ? kPathBuffer : length;
    ReadExactly(*m_pIn, m_szDirPath, kept);
    m_szDirPath[kept] = '\0';
    Trace(" %s", m_szDirPath);
    if (kept == length) SkipPad(*m_pIn, length);
    return m_szDirPath;
}

// The export a dirpath starts with, letter case aside, followed by its end or by "/" and the
// names of a folder inside the share, which `rest` then holds; -1 when there is none.
int CQDV_MountManager::FindExport(const char* path, const char*& rest) const {
    for (int i = 0; i < kShares; ++i) {
        const size_t length = std::strlen(kExportNames[i]);
        if (StartsIgnoringCase(path, kExportNames[i]) &&
            (path[length] == '\0' || path[length] == '/')) {
            rest = path + length;
            return i;
        }
    }
    return -1;
}

// A refused mount leaves the count, the client list and the application untouched, and tells
// the client why: no such export or folder, or sharing stopped. Clients such as libnfs mount the
// folder of the URL they are given, so a folder inside a share mounts like the share itself.
void CQDV_MountManager::ProcMnt() {
    if (ShareEvents().ShareState() == kShareStopped) {
        m_pOut->WriteInt32(kMountAccess);
        return;
    }
    const char* rest = nullptr;
    int share = FindExport(ReadDirPath(), rest);
    PathText folder;
    if (share < 0 || !MountedFolder(share, rest, folder)) {
        m_pOut->WriteInt32(kMountNoEntry);
        return;
    }
    m_pOut->WriteInt32(kMountOk);
    WriteMountHandle(folder);
    ++m_nMountCount;
    ShareEvents().ShareConnected();
    RememberClient(m_pContext->client);
}

bool CQDV_MountManager::MountedFolder(int share, const char* rest, PathText& folder) {
    const bool named = *rest == '\0' && m_pContext->version != 1;
    const PathText root = ShareRoot(share, named);
    if (*rest != '\0') return FolderInShare(root, rest, folder);
    folder = root;
    return true;
}

// The share's folder; a bare drive as its root (D:\.) once a mount of the share itself, in any
// version but 1, has named it so.
PathText CQDV_MountManager::ShareRoot(int share, bool named) {
    PathText root(ShareFolder(share));
    if (named && IsBareDrive(root)) m_bDriveRootNamed[share] = true;
    if (m_bDriveRootNamed[share]) root.Append(hostfs::Fs().Separator()).Append('.');
    return root;
}

// Version 1 answers the fixed 32-byte fhandle; every other version a 64-byte nfs_fh3 and an
// empty list of authentication flavours.
void CQDV_MountManager::WriteMountHandle(std::string_view folder) {
    const uint8_t* handle = FileManager().GetHandle(folder);
    if (m_pContext->version == 1) {
        m_pOut->Write(handle, kVersion1HandleSize);
        return;
    }
    WriteOpaque(*m_pOut, handle, CDorvelFileManager::kHandleSize);
    m_pOut->WriteInt32(0);
}

void CQDV_MountManager::ProcUmnt() {
    Trace("UMNT");
    ReadDirPath();
    Trace(" from %s", m_pContext->client);
    if (ForgetClient(m_pContext->client)) {
        ShareEvents().ShareDisConnected();
        --m_nMountCount;
    }
}

// The export list (exportnode chain): the shares that have a folder, each with no group
// restriction. Clients such as libnfs and showmount ask for it before they mount.
void CQDV_MountManager::ProcExport() {
    Trace("EXPORT");
    for (int i = 0; i < kShares; ++i) {
        if (ShareFolder(i).empty()) continue;
        WriteBool(*m_pOut, true);
        WriteOpaque(*m_pOut, kExportNames[i], static_cast<uint32_t>(std::strlen(kExportNames[i])));
        WriteBool(*m_pOut, false);
    }
    WriteBool(*m_pOut, false);
}

void CQDV_MountManager::RememberClient(const char* client) {
    char** freeSlot = nullptr;
    for (char*& slot : m_pszClients) {
        if (slot != nullptr && std::strcmp(slot, client) == 0) return;
        if (slot == nullptr && freeSlot == nullptr) freeSlot = &slot;
    }
    if (freeSlot == nullptr) return;
    *freeSlot = new char[std::strlen(client) + 1];
    std::strcpy(*freeSlot, client);
}

bool CQDV_MountManager::ForgetClient(const char* client) {
    for (char*& slot : m_pszClients) {
        if (slot != nullptr && std::strcmp(slot, client) == 0) {
            delete[] std::exchange(slot, nullptr);
            return true;
        }
    }
    return false;
}
