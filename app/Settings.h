#pragma once

#include <array>
#include <cstdint>
#include <string>

// The lasting settings of the current user in the registry, and the values in force.
// Folder numbers n run from 1 to 4; sharePath[n - 1] holds folder n.
struct ShareSettings {
    std::array<std::string, 4> sharePath;
    std::array<std::string, 4> previousPath;
    bool autoShare = false;
    std::string setupDir;
    std::string runValue;
    std::string selectedAddress;
    bool bindAll = false;
    int32_t addressNumber = 0;
    int32_t savedAddressNumber = 0;

    // Makes "AutoShare" (false) when it is missing; never fails.
    static void EnsureAutoShare();
    // Folder n as stored (empty when it is not), and on the way "SetupDir", "AutoShare" and the
    // auto-run command into setupDir, autoShare and runValue. A missing or mistyped "AutoShare"
    // throws RegistryError.
    std::string ReadSharePath(int n);
    // Stores folder n and autoShare.
    void WriteSharePath(int n, const std::string& path) const;
    // Makes Windows start the program at log-on (AutoRunCommand of setupDir) / stops it doing so.
    void SetAutoRun() const;
    static void ClearAutoRun();

    // The main window's load at start-up: every folder not stored is "C:\quonhd1".
    void LoadFoldersInForce();
};

extern const char kDefaultShareFolder[];

// The command Windows runs at log-on for the program in that folder. Without a setup folder (no
// installer wrote one, or one wrote it for another account) it names the running program
// itself, never a bare "\QuonDorvel.exe". A path with a blank is quoted, as a command line
// needs it.
std::string AutoRunCommand(const std::string& setupDir);
