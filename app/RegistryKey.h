#pragma once

#include <stdexcept>
#include <string>

#include "Win32.h"

// A registry failure that the toolkit reports to the user.
class RegistryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The toolkit's short-lived registry object: one root, one access right, at most one open key.
// Key paths starting with a backslash are taken from the root. Reading a string that is missing
// gives empty text; reading a number that is missing or of another type is an error.
class RegistryKey {
  public:
    RegistryKey(HKEY root, REGSAM access) : m_hRoot(root), m_access(access) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { CloseKey(); }

    // Opening with creating makes every missing key on the path.
    bool OpenKey(const std::string& path, bool create);
    // Makes the key (and the keys above it) without keeping it open.
    void CreateKey(const std::string& path) const;
    void CloseKey();

    std::string ReadString(const std::string& name) const;
    bool ReadBool(const std::string& name) const;
    bool ValueExists(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& value) const;
    void WriteBool(const std::string& name, bool value) const;
    bool DeleteValue(const std::string& name) const;

  private:
    HKEY m_hRoot;
    REGSAM m_access;
    HKEY m_hKey = nullptr;
};
