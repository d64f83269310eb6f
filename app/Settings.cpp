#include "Settings.h"

#include "RegistryKey.h"
#include "WideText.h"

const char kDefaultShareFolder[] = "C:\\quonhd1";

namespace {

// Paths from the root of HKEY_CURRENT_USER, as the toolkit's registry object takes them.
const char kDorvelKey[] = "\\Software\\Quon\\Dorvel\\";
const char kOptionsKey[] = "\\Software\\Quon\\Dorvel\\Options";
const char kRunKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutoShare[] = "AutoShare";
const char kSetupDir[] = "SetupDir";
const char kRunName[] = "QuonDorvel";

std::string SharePathName(int n) {
    return "SharePath" + std::to_string(n);
}

std::string RunningProgram() {
    wchar_t path[MAX_PATH] = {};
    return Narrow(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
}

void OpenForWriting(RegistryKey& registry, const char* path, bool create) {
    if (!registry.OpenKey(path, create)) {
        throw RegistryError(std::string("Failed to open key '") + path + "'");
    }
}

}  // namespace

void ShareSettings::EnsureAutoShare() {
    try {
        RegistryKey registry(HKEY_CURRENT_USER, KEY_ALL_ACCESS);
        if (registry.OpenKey(kOptionsKey, true) && !registry.ValueExists(kAutoShare)) {
            registry.WriteBool(kAutoShare, false);
        }
    } catch (const RegistryError&) {
        // Start-up goes on; the first read of the settings reports the trouble.
    }
}

std::string ShareSettings::ReadSharePath(int n) {
    RegistryKey registry(HKEY_CURRENT_USER, KEY_READ);
    std::string path;
    if (registry.OpenKey(kDorvelKey, false)) {
        path = registry.ReadString(SharePathName(n));
        setupDir = registry.ReadString(kSetupDir);
        registry.CloseKey();
    }
    if (registry.OpenKey(kOptionsKey, true)) {
        autoShare = registry.ReadBool(kAutoShare);
        registry.CloseKey();
    }
    if (registry.OpenKey(kRunKey, false)) {
        runValue = registry.ReadString(kRunName);
        registry.CloseKey();
    }
    return path;
}

void ShareSettings::WriteSharePath(int n, const std::string& path) const {
    RegistryKey registry(HKEY_CURRENT_USER, KEY_ALL_ACCESS);
    OpenForWriting(registry, kDorvelKey, true);
    registry.WriteString(SharePathName(n), path);
    registry.CloseKey();
    OpenForWriting(registry, kOptionsKey, true);
    registry.WriteBool(kAutoShare, autoShare);
}

void ShareSettings::SetAutoRun() const {
    RegistryKey registry(HKEY_CURRENT_USER, KEY_ALL_ACCESS);
    registry.CreateKey(kRunKey);
    OpenForWriting(registry, kRunKey, false);
    registry.WriteString(kRunName, AutoRunCommand(setupDir));
}

void ShareSettings::ClearAutoRun() {
    RegistryKey registry(HKEY_CURRENT_USER, KEY_ALL_ACCESS);
    if (registry.OpenKey(kRunKey, false)) registry.DeleteValue(kRunName);
}

std::string AutoRunCommand(const std::string& setupDir) {
    const std::string program = setupDir.empty() ? RunningProgram() : setupDir + "\\QuonDorvel.exe";
    return program.find(' ') == std::string::npos ? program : '"' + program + '"';
}

void ShareSettings::LoadFoldersInForce() {
    EnsureAutoShare();
    for (int n = 1; n <= 4; ++n) {
        const std::string stored = ReadSharePath(n);
        sharePath[n - 1] = stored.empty() ? kDefaultShareFolder : stored;
    }
}
