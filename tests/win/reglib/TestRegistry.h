// Registry fixtures for the export tests: keys are made and read back with the plain API, never
// through the DLL under test.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "Win32.h"

namespace regtest {

using Bytes = std::vector<uint8_t>;

void PutText(HKEY root, const std::string& path, const char* name, const std::string& text);
void PutBytes(HKEY root, const std::string& path, const char* name, const Bytes& bytes);
void PutKey(HKEY root, const std::string& path);

// The value's bytes when it is REG_BINARY.
std::optional<Bytes> ReadBinary(HKEY root, const std::string& path, const char* name);

// A key as text, one line each: its values in name order (Group="Extended Base", Start=2, binary
// as hex bytes), then its subkeys ([Parameters]); "missing" when there is no such key.
std::string Dump(HKEY root, const std::string& path);

// Removes its keys (with everything below) when made and when dropped, so a test starts clean
// even after an earlier run died half-way.
class ScopedKeys {
  public:
    ScopedKeys(HKEY root, std::initializer_list<std::string> paths);
    ScopedKeys(const ScopedKeys&) = delete;
    ScopedKeys& operator=(const ScopedKeys&) = delete;
    ~ScopedKeys() { RemoveAll(); }

  private:
    void RemoveAll() const;

    HKEY m_hRoot;
    std::vector<std::string> m_paths;
};

// Lets everyone have only the given rights on an existing key (KEY_READ ...) until dropped, the
// way device keys grant administrators reading only; then everyone has every right on it.
class ScopedKeyRights {
  public:
    ScopedKeyRights(HKEY root, const std::string& path, DWORD rights);
    ScopedKeyRights(const ScopedKeyRights&) = delete;
    ScopedKeyRights& operator=(const ScopedKeyRights&) = delete;
    ~ScopedKeyRights();

    bool Applied() const { return m_applied; }

  private:
    HKEY m_hKey = nullptr;  // opened before the rights shrink, so it can widen them again
    bool m_applied = false;
};

}  // namespace regtest
