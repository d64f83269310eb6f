#include "RegHandle.h"

#include <cstring>
#include <vector>

bool CRegHandle::Open(HKEY parent, const char* name, REGSAM access) {
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, access, &key) != ERROR_SUCCESS) return false;
    m_hKey = key;
    return true;
}

bool CRegHandle::Create(HKEY parent, const char* name) {
    Close();
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    m_hKey = key;
    return true;
}

bool CRegHandle::DeleteSubkey(const char* name) const {
    return RegDeleteKeyA(m_hKey, name) == ERROR_SUCCESS;
}

bool CRegHandle::SetString(const char* name, const char* value) const {
    const auto* bytes = reinterpret_cast<const BYTE*>(value);
    return RegSetValueExA(m_hKey, name, 0, REG_SZ, bytes, std::strlen(value) + 1) == ERROR_SUCCESS;
}

bool CRegHandle::SetDword(const char* name, uint32_t value) const {
    const DWORD data = value;
    const auto* bytes = reinterpret_cast<const BYTE*>(&data);
    return RegSetValueExA(m_hKey, name, 0, REG_DWORD, bytes, sizeof data) == ERROR_SUCCESS;
}

bool CRegHandle::EnumSubkey(uint32_t index, std::string& name) const {
    char buffer[MAX_PATH];
    DWORD size = sizeof buffer;
    if (RegEnumKeyExA(m_hKey, index, buffer, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    name.assign(buffer, size);
    return true;
}

bool CRegHandle::Close() {
    if (m_hKey == nullptr) return false;
    const bool closed = RegCloseKey(m_hKey) == ERROR_SUCCESS;
    m_hKey = nullptr;
    return closed;
}

// Listing needs only read access; deleting a key asks for rights on that key, not on its parent.
bool DeleteKeyTree(HKEY parent, const char* name, uint32_t maxSubkeysPerLevel) {
    CRegHandle key;
    if (key.Open(parent, name, KEY_READ)) {
        std::vector<std::string> subkeys;
        std::string subkey;
        for (uint32_t i = 0; i < maxSubkeysPerLevel && key.EnumSubkey(i, subkey); ++i) {
            subkeys.push_back(subkey);
        }
        for (auto it = subkeys.rbegin(); it != subkeys.rend(); ++it) {
            DeleteKeyTree(key.Get(), it->c_str(), maxSubkeysPerLevel);
        }
    }
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}
