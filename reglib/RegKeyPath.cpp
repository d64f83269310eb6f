#include "RegKeyPath.h"

namespace {

const char* FromRoot(const std::string& path) {
    return path.c_str() + (path.rfind('\\', 0) == 0 ? 1 : 0);
}

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

}  // namespace

bool CRegKeyPath::Open(const std::string& path, Access access) {
    return m_key.Open(m_hRoot, FromRoot(path), static_cast<REGSAM>(access));
}

std::string CRegKeyPath::ReadString(const char* name) const {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(m_key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        !IsText(type)) {
        return {};
    }
    std::string text(size, '\0');
    auto* data = reinterpret_cast<BYTE*>(text.data());
    if (RegQueryValueExA(m_key.Get(), name, nullptr, nullptr, data, &size) != ERROR_SUCCESS) {
        return {};
    }
    text.resize(size);
    return text.substr(0, text.find('\0'));
}

bool CRegKeyPath::ReadBinary(const char* name, std::vector<uint8_t>& bytes) const {
    DWORD size = 0;
    if (RegQueryValueExA(m_key.Get(), name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes.resize(size);
    if (RegQueryValueExA(m_key.Get(), name, nullptr, nullptr, bytes.data(), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    bytes.resize(size);
    return true;
}

bool CRegKeyPath::WriteBinary(const char* name, const void* bytes, uint32_t size) const {
    const auto* data = static_cast<const BYTE*>(bytes);
    return RegSetValueExA(m_key.Get(), name, 0, REG_BINARY, data, size) == ERROR_SUCCESS;
}

bool CRegKeyPath::HasValue(const char* name) const {
    return RegQueryValueExA(m_key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<std::string> CRegKeyPath::SubkeyNames() const {
    std::vector<std::string> names;
    std::string name;
    while (m_key.EnumSubkey(names.size(), name)) names.push_back(name);
    return names;
}

bool CRegKeyPath::DeleteTree(const std::string& path) const {
    return DeleteKeyTree(m_hRoot, FromRoot(path), UINT32_MAX);
}
