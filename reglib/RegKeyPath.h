#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RegHandle.h"
#include "Win32.h"

// Key-path layer: one root hive and at most one open key, addressed by full paths from that
// root. Installers hand us paths with and without a leading backslash; both mean the same key.
// Reads never fail loudly: a missing value is empty text, so comparisons simply do not match.
class CRegKeyPath {
  public:
    // Ask for no more than the work needs: full access is refused to users without administrator
    // rights, and device keys often grant administrators reading only.
    enum class Access : REGSAM {
        kRead = KEY_READ,
        kReadAndSet = KEY_READ | KEY_SET_VALUE,
    };

    explicit CRegKeyPath(HKEY root) : m_hRoot(root) {}

    bool Open(const std::string& path, Access access);
    void Close() { m_key.Close(); }

    std::string ReadString(const char* name) const;
    // Reads the whole value, however long it is, so it can be written back byte for byte.
    bool ReadBinary(const char* name, std::vector<uint8_t>& bytes) const;
    bool WriteBinary(const char* name, const void* bytes, uint32_t size) const;
    bool HasValue(const char* name) const;
    std::vector<std::string> SubkeyNames() const;

    // Removes the key at path with everything below it.
    bool DeleteTree(const std::string& path) const;

  private:
    HKEY m_hRoot;
    CRegHandle m_key;
};
