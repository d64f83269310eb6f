#pragma once

#include <cstdint>
#include <string>

#include "Win32.h"

// Handle layer: owns one open registry key; every operation is a single registry call and
// reports whether that call succeeded. The kernel service set-up works at this level because it
// must walk and delete subkeys one by one the way the driver's own installer did.
class CRegHandle {
  public:
    CRegHandle() = default;
    CRegHandle(const CRegHandle&) = delete;
    CRegHandle& operator=(const CRegHandle&) = delete;
    ~CRegHandle() { Close(); }

    // Both replace (and close) whatever key this object held.
    bool Open(HKEY parent, const char* name, REGSAM access = KEY_ALL_ACCESS);
    bool Create(HKEY parent, const char* name);

    bool DeleteSubkey(const char* name) const;
    bool SetString(const char* name, const char* value) const;
    bool SetDword(const char* name, uint32_t value) const;
    bool EnumSubkey(uint32_t index, std::string& name) const;
    bool Close();

    HKEY Get() const { return m_hKey; }

  private:
    HKEY m_hKey = nullptr;
};

// Deletes the key name under parent with everything below it, depth first, the way Windows before
// Vista has to (RegDeleteKeyA refuses keys that still have subkeys; RegDeleteTreeA is Vista's).
// On each level only the first maxSubkeysPerLevel subkeys go, last first; a key that keeps some
// stays too. Answers whether the key itself went.
bool DeleteKeyTree(HKEY parent, const char* name, uint32_t maxSubkeysPerLevel);
