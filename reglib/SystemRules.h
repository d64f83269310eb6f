// The decisions behind the system questions, kept apart from the calls that gather their
// inputs so they can be checked with made-up systems.
#pragma once

#include <cstdint>
#include <string>

namespace reglib {

// Version codes the installers compare against.
enum VersionCode : uint32_t {
    kUnknownWindows = 0,
    kWin95 = 0x950,
    kWin95Osr2 = 0x952,
    kWin98 = 0x980,
    kWin98SE = 0x982,
    kWinMe = 0x990,
    kWinNt3 = 0x351,
    kWinNt4 = 0x400,
    kWin2000 = 0x2000,
    kWinXp = 0x2002,
    kWinServer2003 = 0x200300,
    kWinServer2003R2 = 0x200302,
    kWinXpX64 = 0x200264,
    kWinVistaServer = 0x200500,
    kWinVista = 0x200501,
};

// What the system says about itself: the version record plus the two extra facts that tell
// the members of the 5.2 family apart.
struct VersionRecord {
    uint32_t platform = 0;  // 1: Windows 9x, 2: Windows NT
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string servicePack;
    uint8_t productType = 0;  // 1: workstation; 0 when the system gave only the plain record
    bool serverR2 = false;
    uint16_t nativeArchitecture = 0;  // 9: x64
};

uint32_t WindowsVersionCode(const VersionRecord& record);

// 1 Korean, 2 US English, 3 anything else.
uint32_t LanguageCode(uint16_t languageId);

// Drive types as the system numbers them.
constexpr uint32_t kRemovableDrive = 2;
constexpr uint32_t kFixedDrive = 3;
constexpr uint32_t kDriveSlots = 26;

struct DriveTable {
    char letters[kDriveSlots] = {};
    uint32_t count = 0;
};

// Fills table from the system's drive root list ("c:\", NUL, next root ...) with the fixed and
// removable drives from C on; driveType answers for one root.
uint32_t FillDriveTable(const char* roots, uint32_t size, uint32_t (*driveType)(const char* root),
                        DriveTable& table);

}  // namespace reglib
