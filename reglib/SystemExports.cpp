// The system questions: version code, language, and the drive table installers pick a target
// drive from.
#include <cstring>
#include <optional>

#include "CorvaneReg.h"
#include "ExportBoundary.h"
#include "SystemRules.h"
#include "Win32.h"

namespace {

reglib::DriveTable g_drives;
const char kDriveRootPattern[] = "x:\\";
char g_driveRoot[sizeof kDriveRootPattern];

// Looked up at run time: systems older than XP do not have it.
uint16_t NativeArchitecture() {
    using NativeInfo = void(WINAPI*)(SYSTEM_INFO*);
    const auto query = reinterpret_cast<NativeInfo>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo")));
    if (query == nullptr) return 0;
    SYSTEM_INFO info{};
    query(&info);
    return info.wProcessorArchitecture;
}

// Systems before NT 4 SP6 know only the plain record; its product type then reads 0.
std::optional<reglib::VersionRecord> SystemVersion() {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    auto* plain = reinterpret_cast<OSVERSIONINFOA*>(&info);
    if (!GetVersionExA(plain)) {
        info = OSVERSIONINFOEXA{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(plain)) return std::nullopt;
    }
    reglib::VersionRecord record;
    record.platform = info.dwPlatformId;
    record.major = info.dwMajorVersion;
    record.minor = info.dwMinorVersion;
    record.servicePack = info.szCSDVersion;
    record.productType = info.wProductType;
    record.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
    record.nativeArchitecture = NativeArchitecture();
    return record;
}

uint32_t DriveType(const char* root) {
    return GetDriveTypeA(root);
}

}  // namespace

extern "C" uint32_t __stdcall GetLanguage() {
    return reglib::LanguageCode(GetUserDefaultLangID());
}

extern "C" uint32_t __stdcall GetWindowsVersion() {
    return reglib::AnswerOr<uint32_t>(reglib::kUnknownWindows, [] {
        const std::optional<reglib::VersionRecord> record = SystemVersion();
        return record ? reglib::WindowsVersionCode(*record) : reglib::kUnknownWindows;
    });
}

extern "C" uint32_t __stdcall GetNumberOfDrives() {
    char roots[256] = {};
    GetLogicalDriveStringsA(sizeof roots, roots);
    return reglib::FillDriveTable(roots, sizeof roots, DriveType, g_drives);
}

// Callers get the same buffer every time: each call overwrites the previous answer, all of it,
// so a caller that cut the text it was handed does not cut the next answer too.
extern "C" char* __stdcall GetDriveLetter(uint32_t slot) {
    std::memcpy(g_driveRoot, kDriveRootPattern, sizeof g_driveRoot);
    if (slot >= reglib::kDriveSlots) return nullptr;
    g_driveRoot[0] = g_drives.letters[slot];
    return g_driveRoot;
}

// The disk's whole free space, not the caller's quota: installers size the target drive with it.
// A drive we cannot ask about, or none named at all, has no room as far as they are concerned.
extern "C" uint64_t __stdcall GetDriveFreeSpaceMBytes(const char* drive) {
    if (drive == nullptr) return 0;
    const char root[] = {drive[0], ':', '\\', '\0'};
    ULARGE_INTEGER freeBytes{};
    if (!GetDiskFreeSpaceExA(root, nullptr, nullptr, &freeBytes)) return 0;
    return freeBytes.QuadPart >> 20;
}
