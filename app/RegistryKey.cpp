#include "RegistryKey.h"

#include "WideText.h"

namespace {

std::wstring FromRoot(const std::string& path) {
    return Widen(!path.empty() && path.front() == '\\' ? path.substr(1) : path);
}

[[noreturn]] void Fail(const char* what, const std::string& name) {
    throw RegistryError(std::string(what) + " '" + name + "'");
}

}  // namespace

bool RegistryKey::OpenKey(const std::string& path, bool create) {
    CloseKey();
    HKEY key = nullptr;
    const std::wstring subkey = FromRoot(path);
    const LONG status =
        create ? RegCreateKeyExW(m_hRoot, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 m_access, nullptr, &key, nullptr)
               : RegOpenKeyExW(m_hRoot, subkey.c_str(), 0, m_access, &key);
    if (status != ERROR_SUCCESS) return false;
    m_hKey = key;
    return true;
}

void RegistryKey::CreateKey(const std::string& path) const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(m_hRoot, FromRoot(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        m_access, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        Fail("Failed to create key", path);
    }
    RegCloseKey(key);
}

void RegistryKey::CloseKey() {
    if (m_hKey == nullptr) return;
    RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

std::string RegistryKey::ReadString(const std::string& name) const {
    const std::wstring valueName = Widen(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(m_hKey, valueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) Fail("Invalid data type for", name);
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(m_hKey, valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS) {
        Fail("Failed to get data for", name);
    }
    // The stored text may or may not end in its terminator.
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return Narrow(text);
}

bool RegistryKey::ReadBool(const std::string& name) const {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG status = RegQueryValueExW(m_hKey, Widen(name).c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&data), &size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) Fail("Failed to get data for", name);
    if (type != REG_DWORD || size != sizeof data) Fail("Invalid data type for", name);
    return data != 0;
}

bool RegistryKey::ValueExists(const std::string& name) const {
    return RegQueryValueExW(m_hKey, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void RegistryKey::WriteString(const std::string& name, const std::string& value) const {
    const std::wstring text = Widen(value);
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    const auto size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(m_hKey, Widen(name).c_str(), 0, REG_SZ, bytes, size) != ERROR_SUCCESS) {
        Fail("Failed to set data for", name);
    }
}

void RegistryKey::WriteBool(const std::string& name, bool value) const {
    const DWORD data = value ? 1 : 0;
    const auto* bytes = reinterpret_cast<const BYTE*>(&data);
    if (RegSetValueExW(m_hKey, Widen(name).c_str(), 0, REG_DWORD, bytes, sizeof data) !=
        ERROR_SUCCESS) {
        Fail("Failed to set data for", name);
    }
}

bool RegistryKey::DeleteValue(const std::string& name) const {
    return RegDeleteValueW(m_hKey, Widen(name).c_str()) == ERROR_SUCCESS;
}
