#include "SystemRules.h"

#include <cctype>
#include <cstring>

namespace reglib {

namespace {

constexpr uint32_t kPlatform9x = 1;
constexpr uint32_t kPlatformNt = 2;
constexpr uint8_t kWorkstation = 1;
constexpr uint16_t kX64 = 9;

// Within one 9x release the second character of the service-pack text names the refresh.
struct NineXRelease {
    uint32_t minor;
    VersionCode code;
    VersionCode refresh;
    const char* refreshMarks;
};

constexpr NineXRelease kNineXReleases[] = {
    {0, kWin95, kWin95Osr2, "CB"},
    {10, kWin98, kWin98SE, "AB"},
    {90, kWinMe, kWinMe, ""},
};

uint32_t NineXCode(const VersionRecord& record) {
    if (record.major != 4) return kUnknownWindows;
    const char mark = record.servicePack.size() > 1 ? record.servicePack[1] : '\0';
    for (const NineXRelease& release : kNineXReleases) {
        if (release.minor != record.minor) continue;
        const bool refresh = mark != '\0' && std::strchr(release.refreshMarks, mark) != nullptr;
        return refresh ? release.refresh : release.code;
    }
    return kUnknownWindows;
}

uint32_t Server2003FamilyCode(const VersionRecord& record) {
    if (record.serverR2) return kWinServer2003R2;
    const bool x64Workstation =
        record.productType == kWorkstation && record.nativeArchitecture == kX64;
    return x64Workstation ? kWinXpX64 : kWinServer2003;
}

struct NtRelease {
    uint32_t major;
    uint32_t minor;
    VersionCode code;
};

constexpr NtRelease kNtReleases[] = {{5, 0, kWin2000}, {5, 1, kWinXp}};

uint32_t NtCode(const VersionRecord& record) {
    if (record.major < 4) return kWinNt3;
    if (record.major == 4) return kWinNt4;
    if (record.major == 5 && record.minor == 2) return Server2003FamilyCode(record);
    if (record.major == 6 && record.minor == 0) {
        return record.productType == kWorkstation ? kWinVista : kWinVistaServer;
    }
    for (const NtRelease& release : kNtReleases) {
        if (release.major == record.major && release.minor == record.minor) return release.code;
    }
    return kUnknownWindows;
}

}  // namespace

uint32_t WindowsVersionCode(const VersionRecord& record) {
    if (record.platform == kPlatform9x) return NineXCode(record);
    if (record.platform == kPlatformNt) return NtCode(record);
    return kUnknownWindows;
}

uint32_t LanguageCode(uint16_t languageId) {
    constexpr uint16_t kUsEnglish = 0x409;
    constexpr uint16_t kKorean = 0x412;
    constexpr uint16_t kKoreanJohab = 0x812;
    if (languageId == kKorean || languageId == kKoreanJohab) return 1;
    return languageId == kUsEnglish ? 2 : 3;
}

uint32_t FillDriveTable(const char* roots, uint32_t size, uint32_t (*driveType)(const char* root),
                        DriveTable& table) {
    constexpr uint32_t kRootSize = 4;  // "c:\" and its NUL
    table = DriveTable{};
    for (uint32_t slot = 0; slot < kDriveSlots && (slot + 1) * kRootSize <= size; ++slot) {
        char root[kRootSize];
        std::memcpy(root, roots + slot * kRootSize, kRootSize);
        if (root[0] == '\0') break;
        root[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(root[0])));
        if (root[0] == 'a' || root[0] == 'b') continue;
        const uint32_t type = driveType(root);
        if (type == kRemovableDrive || type == kFixedDrive) table.letters[table.count++] = root[0];
    }
    return table.count;
}

}  // namespace reglib
