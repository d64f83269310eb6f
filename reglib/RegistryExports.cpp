// Registry clean-ups and probes for the capture drivers and DirectShow filters our installers
// ship or replace.
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "CorvaneReg.h"
#include "ExportBoundary.h"
#include "RegKeyPath.h"
#include "SystemRules.h"

using reglib::AnswerOr;
using reglib::kDone;
using reglib::kNotDone;
using Access = CRegKeyPath::Access;

namespace {

bool IsOneOf(uint32_t version, std::initializer_list<uint32_t> versions) {
    return std::find(versions.begin(), versions.end(), version) != versions.end();
}

// Calls visit with the full path of every subkey of path; answers how many visits said yes.
template <typename Visit>
uint32_t CountSubkeys(CRegKeyPath& reg, const std::string& path, Visit visit) {
    if (!reg.Open(path, Access::kRead)) return 0;
    uint32_t hits = 0;
    for (const std::string& name : reg.SubkeyNames()) hits += visit(path + "\\" + name) ? 1 : 0;
    return hits;
}

bool ValueEquals(CRegKeyPath& reg, const std::string& path, const char* name, const char* text) {
    return reg.Open(path, Access::kRead) && reg.ReadString(name) == text;
}

const char kHdcClass[] = "System\\CurrentControlSet\\Services\\Class\\hdc";

bool EnableDmaOnIosController(CRegKeyPath& reg, const std::string& path) {
    static const uint8_t kOn = 1;
    if (!reg.Open(path, Access::kReadAndSet) || reg.ReadString("DevLoader") != "*IOS") return false;
    reg.WriteBinary("IDEDMADRIVE0", &kOn, sizeof kOn);
    reg.WriteBinary("IDEDMADRIVE1", &kOn, sizeof kOn);
    return true;
}

const char kDriverClassRoot[] = "System\\CurrentControlSet\\Services\\Class\\";

bool IsCamcorder(const std::string& description) {
    static const char* const kCamcorders[] = {
        "1394 DV Camcorder",
        "Firebird: Sony DV Camcorder/VCR",
        "Microsoft DV Camera and VCR",
    };
    return std::find(std::begin(kCamcorders), std::end(kCamcorders), description) !=
           std::end(kCamcorders);
}

bool RemoveCamcorder(CRegKeyPath& reg, const std::string& device) {
    if (!reg.Open(device, Access::kRead) || !IsCamcorder(reg.ReadString("DeviceDesc"))) {
        return false;
    }
    const std::string driver = reg.ReadString("Driver");
    if (!driver.empty()) {
        const std::string driverClass = kDriverClassRoot + driver;
        if (reg.Open(driverClass, Access::kRead) && IsCamcorder(reg.ReadString("DriverDesc"))) {
            reg.DeleteTree(driverClass);
        }
    }
    reg.DeleteTree(device);
    return true;
}

bool CleanCamcorders(const char* deviceKey) {
    CRegKeyPath reg(HKEY_LOCAL_MACHINE);
    return CountSubkeys(reg, deviceKey, [&](const std::string& device) {
               return RemoveCamcorder(reg, device);
           }) > 0;
}

// Where the device enumerator keeps its keys: 98 and XP answer under ENUM, 2000 under SYSTEM.
const char* EnumRoot(uint32_t version) {
    if (IsOneOf(version, {reglib::kWin98, reglib::kWin98SE, reglib::kWinXp})) return "ENUM\\";
    if (version == reglib::kWin2000) return "SYSTEM\\CurrentControlSet\\Enum\\";
    return nullptr;
}

bool HasDevice(uint32_t version, const char* deviceKey, const char* description) {
    const char* root = EnumRoot(version);
    if (root == nullptr) return false;
    CRegKeyPath reg(HKEY_LOCAL_MACHINE);
    return CountSubkeys(reg, root + std::string(deviceKey), [&](const std::string& device) {
               return ValueEquals(reg, device, "DeviceDesc", description);
           }) > 0;
}

const char kZetInstance[] =
    "Software\\CLASSES\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\"
    "{4D6FE3E0-8603-11D5-840F-00C0CA306EAA}";
const char kLigosSplitter[] =
    "\\Software\\Microsoft\\ActiveMovie\\devenum\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\"
    "{CB51EFC1-40D6-11D3-B265-00A0C9A3A56F}";

// The third byte of the merit word that starts at offset 4: 0x40 takes the splitter below the
// merit the graph builder picks filters by.
constexpr size_t kMeritByte = 6;
constexpr uint8_t kDemotedMerit = 0x40;

constexpr uint32_t kMaxBinaryValue = 2048;
uint8_t g_binaryValue[kMaxBinaryValue];

}  // namespace

extern "C" uint32_t __stdcall EnableUltraDMA() {
    if (!IsOneOf(GetWindowsVersion(), {reglib::kWin98, reglib::kWin98SE, reglib::kWinXp})) {
        return kNotDone;
    }
    return AnswerOr(kNotDone, [] {
        CRegKeyPath reg(HKEY_LOCAL_MACHINE);
        const uint32_t changed = CountSubkeys(reg, kHdcClass, [&](const std::string& controller) {
            return EnableDmaOnIosController(reg, controller);
        });
        return changed > 0 ? kDone : kNotDone;
    });
}

extern "C" uint32_t __stdcall DeleteDeviceRegistry() {
    return AnswerOr(kNotDone, [] {
        CleanCamcorders("Enum\\1394\\A02D&10000");
        return CleanCamcorders("Enum\\1394\\A02D&10001") ? kDone : kNotDone;
    });
}

extern "C" uint32_t __stdcall IsTavrinExist() {
    const uint32_t version = GetWindowsVersion();
    return AnswerOr(kNotDone, [version] {
        char usb[64];
        char pci[96];
        std::snprintf(usb, sizeof usb, "Usb\\Vid_%04x&Pid_%04x", 0x0525, 0xA0C0);
        std::snprintf(pci, sizeof pci, "PCI\\VEN_%04X&DEV_%04X&SUBSYS_%08X&REV_%02X", 0x4444,
                      0x0002, 0xFF25FFFFu, 0x00);
        const bool hasUsb = HasDevice(version, usb, "Varnex Tavrin USB Board");
        const bool hasPci = HasDevice(version, pci, "Tavrin, WDM Video Capture");
        static constexpr uint32_t kAnswers[2][2] = {{kNotDone, reglib::kTavrinUsb},
                                                    {reglib::kTavrinPci, reglib::kTavrinPciAndUsb}};
        return kAnswers[hasPci][hasUsb];
    });
}

extern "C" uint32_t __stdcall IsZetDetected() {
    return AnswerOr(kNotDone, [] {
        CRegKeyPath reg(HKEY_LOCAL_MACHINE);
        const bool found = reg.Open(kZetInstance, Access::kRead) && reg.HasValue("FriendlyName") &&
                           reg.ReadString("FriendlyName") == "Zet MP2 Encoder(48KHz)";
        return found ? kDone : kNotDone;
    });
}

// Writes back exactly what was read: a short value stays short and a long one stays whole.
extern "C" uint32_t __stdcall KillLigosSplitter() {
    return AnswerOr(kNotDone, [] {
        CRegKeyPath reg(HKEY_CURRENT_USER);
        if (!reg.Open(kLigosSplitter, Access::kReadAndSet)) return kNotDone;
        std::vector<uint8_t> filterData;
        if (reg.ReadBinary("FilterData", filterData)) {
            if (filterData.size() > kMeritByte) filterData[kMeritByte] = kDemotedMerit;
            reg.WriteBinary("FilterData", filterData.data(), filterData.size());
        }
        return kDone;
    });
}

// A missing key path or piece is the caller's mistake, answered like a key that is not there. A
// null value name keeps the registry's meaning: the key's default value. The size test is
// written so that two lengths whose sum wraps around 32 bits are refused too.
extern "C" uint32_t __stdcall WriteBinaryRegistry(const char* keyPath, const char* valueName,
                                                  uint32_t length1, uint32_t length2,
                                                  const void* bytes1, const void* bytes2) {
    const bool piecesGiven =
        (bytes1 != nullptr || length1 == 0) && (bytes2 != nullptr || length2 == 0);
    if (keyPath == nullptr || !piecesGiven) return kNotDone;
    return AnswerOr(kNotDone, [&] {
        CRegKeyPath reg(HKEY_CURRENT_USER);
        if (!reg.Open(keyPath, Access::kReadAndSet)) return kNotDone;
        if (length1 <= kMaxBinaryValue && length2 <= kMaxBinaryValue - length1) {
            const auto* first = static_cast<const uint8_t*>(bytes1);
            const auto* second = static_cast<const uint8_t*>(bytes2);
            std::copy_n(second, length2, std::copy_n(first, length1, g_binaryValue));
            reg.WriteBinary(valueName, g_binaryValue, length1 + length2);
        }
        return kDone;
    });
}
