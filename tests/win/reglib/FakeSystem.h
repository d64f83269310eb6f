// Gives the loaded CorvaneReg.dll a system of the test's making: the answers of the Windows calls
// it imports are replaced in its import table while one of these objects lives. This reaches what
// Wine cannot pretend to be (plain Windows 98, a failing version query) and values a test must
// know exactly (a disk's free space).
#pragma once

#include <cstdint>
#include <string>

#include "Win32.h"

namespace regtest {

// One imported function of the loaded DLL, redirected until the object goes.
class ScopedImportPatch {
  public:
    ScopedImportPatch(const char* dll, const char* function, void* replacement);
    ScopedImportPatch(const ScopedImportPatch&) = delete;
    ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;
    ~ScopedImportPatch();

    bool Patched() const { return m_slot != nullptr; }

  private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};

struct VersionRecord {
    DWORD platform;  // 1: Windows 9x, 2: Windows NT
    DWORD major;
    DWORD minor;
    const char* servicePack;
    BYTE productType = 1;  // workstation
};

// GetVersionExA answers record; it fails for the extended (or the plain) record when told to.
class PretendWindows {
  public:
    explicit PretendWindows(const VersionRecord& record, bool extendedFails = false,
                            bool plainFails = false);

    bool Ready() const { return m_patch.Patched(); }

  private:
    ScopedImportPatch m_patch;
};

// GetDiskFreeSpaceExA answers these byte counts (or fails) and keeps the root it was asked for.
class PretendDisk {
  public:
    PretendDisk(uint64_t freeToCaller, uint64_t freeOnDisk, bool fails = false);

    bool Ready() const { return m_patch.Patched(); }
    std::string AskedRoot() const;

  private:
    ScopedImportPatch m_patch;
};

}  // namespace regtest
