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
    bool Open(HKEY parent, const char* name);
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
