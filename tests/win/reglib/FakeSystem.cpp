#include "FakeSystem.h"

#include <cstring>

#include "CorvaneRegDll.h"

namespace regtest {

namespace {

template <typename T>
T* At(BYTE* base, DWORD offset) {
    return reinterpret_cast<T*>(base + offset);
}

// The import address table slot through which the module calls dll's function.
void** ImportSlot(HMODULE module, const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = At<IMAGE_NT_HEADERS>(base, At<IMAGE_DOS_HEADER>(base, 0)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(base, imports.VirtualAddress); entry->Name != 0;
         ++entry) {
        if (_stricmp(At<char>(base, entry->Name), dll) != 0) continue;
        auto* name = At<IMAGE_THUNK_DATA>(base, entry->OriginalFirstThunk);
        auto* slot = At<IMAGE_THUNK_DATA>(base, entry->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName = At<IMAGE_IMPORT_BY_NAME>(base, name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slot->u1.Function);
            }
        }
    }
    return nullptr;
}

void WriteSlot(void** slot, void* value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

// One pretence at a time: the fakes below read what the live object set.
struct {
    VersionRecord record;
    bool extendedFails;
    bool plainFails;
} g_version;

struct {
    uint64_t freeToCaller;
    uint64_t freeOnDisk;
    bool fails;
    std::string askedRoot;
} g_disk;

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info) {
    const bool extended = info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA);
    if (extended ? g_version.extendedFails : g_version.plainFails) return FALSE;
    OSVERSIONINFOEXA answer{};
    answer.dwPlatformId = g_version.record.platform;
    answer.dwMajorVersion = g_version.record.major;
    answer.dwMinorVersion = g_version.record.minor;
    std::strncpy(answer.szCSDVersion, g_version.record.servicePack, sizeof answer.szCSDVersion - 1);
    answer.wProductType = g_version.record.productType;
    answer.dwOSVersionInfoSize = info->dwOSVersionInfoSize;
    std::memcpy(info, &answer, info->dwOSVersionInfoSize);
    return TRUE;
}

BOOL WINAPI FakeGetDiskFreeSpaceExA(const char* root, ULARGE_INTEGER* toCaller,
                                    ULARGE_INTEGER* total, ULARGE_INTEGER* onDisk) {
    g_disk.askedRoot = root;
    if (g_disk.fails) return FALSE;
    if (toCaller != nullptr) toCaller->QuadPart = g_disk.freeToCaller;
    if (total != nullptr) total->QuadPart = g_disk.freeOnDisk * 2;
    if (onDisk != nullptr) onDisk->QuadPart = g_disk.freeOnDisk;
    return TRUE;
}

template <typename Function>
void* Address(Function* function) {
    return reinterpret_cast<void*>(function);
}

}  // namespace

ScopedImportPatch::ScopedImportPatch(const char* dll, const char* function, void* replacement)
    : m_slot(ImportSlot(LoadedCorvaneReg().Module(), dll, function)) {
    if (m_slot == nullptr) return;
    m_original = *m_slot;
    WriteSlot(m_slot, replacement);
}

ScopedImportPatch::~ScopedImportPatch() {
    if (m_slot != nullptr) WriteSlot(m_slot, m_original);
}

PretendWindows::PretendWindows(const VersionRecord& record, bool extendedFails, bool plainFails)
    : m_patch("kernel32.dll", "GetVersionExA", Address(FakeGetVersionExA)) {
    g_version = {record, extendedFails, plainFails};
}

PretendDisk::PretendDisk(uint64_t freeToCaller, uint64_t freeOnDisk, bool fails)
    : m_patch("kernel32.dll", "GetDiskFreeSpaceExA", Address(FakeGetDiskFreeSpaceExA)) {
    g_disk = {freeToCaller, freeOnDisk, fails, "(not asked)"};
}

std::string PretendDisk::AskedRoot() const {
    return g_disk.askedRoot;
}

}  // namespace regtest
