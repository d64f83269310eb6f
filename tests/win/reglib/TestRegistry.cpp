#include "TestRegistry.h"

#include <sddl.h>

#include <algorithm>
#include <cstdio>

namespace regtest {

namespace {

class Key {
  public:
    Key(HKEY root, const std::string& path) {
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &m_hKey) != ERROR_SUCCESS) {
            m_hKey = nullptr;
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (m_hKey != nullptr) RegCloseKey(m_hKey);
    }
    HKEY Get() const { return m_hKey; }

  private:
    HKEY m_hKey = nullptr;
};

std::string Format(DWORD type, const BYTE* data, DWORD size) {
    if (type == REG_SZ) return "\"" + std::string(reinterpret_cast<const char*>(data)) + "\"";
    if (type == REG_DWORD) return std::to_string(*reinterpret_cast<const DWORD*>(data));
    std::string hex;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : " %02x", data[i]);
        hex += byte;
    }
    return hex;
}

// One line per index until enumerate runs out, in name order.
template <typename Enumerate>
std::vector<std::string> Lines(Enumerate enumerate) {
    std::vector<std::string> lines;
    std::string line;
    while (enumerate(static_cast<DWORD>(lines.size()), line)) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool ValueLine(HKEY key, DWORD index, std::string& line) {
    char name[MAX_PATH];
    BYTE data[1024];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) !=
        ERROR_SUCCESS) {
        return false;
    }
    line = std::string(name, nameSize) + "=" + Format(type, data, dataSize);
    return true;
}

bool SubkeyLine(HKEY key, DWORD index, std::string& line) {
    char name[MAX_PATH];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    line = "[" + std::string(name, size) + "]";
    return true;
}

}  // namespace

void PutText(HKEY root, const std::string& path, const char* name, const std::string& text) {
    RegSetKeyValueA(root, path.c_str(), name, REG_SZ, text.c_str(), text.size() + 1);
}

void PutBytes(HKEY root, const std::string& path, const char* name, const Bytes& bytes) {
    RegSetKeyValueA(root, path.c_str(), name, REG_BINARY, bytes.data(), bytes.size());
}

void PutKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

std::optional<Bytes> ReadBinary(HKEY root, const std::string& path, const char* name) {
    Bytes bytes(64 * 1024);
    DWORD size = bytes.size();
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_REG_BINARY, nullptr, bytes.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    bytes.resize(size);
    return bytes;
}

std::string Dump(HKEY root, const std::string& path) {
    const Key key(root, path);
    if (key.Get() == nullptr) return "missing";
    std::string text;
    for (const auto describe : {ValueLine, SubkeyLine}) {
        const auto lines =
            Lines([&](DWORD i, std::string& line) { return describe(key.Get(), i, line); });
        for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

namespace {

bool SetEveryonesRights(HKEY key, DWORD rights) {
    char sddl[64];
    std::snprintf(sddl, sizeof sddl, "D:P(A;;0x%lX;;;WD)", rights);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return false;
    }
    const bool set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return set;
}

}  // namespace

ScopedKeyRights::ScopedKeyRights(HKEY root, const std::string& path, DWORD rights) {
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | WRITE_DAC, &m_hKey) != ERROR_SUCCESS) {
        m_hKey = nullptr;
        return;
    }
    m_applied = SetEveryonesRights(m_hKey, rights);
}

ScopedKeyRights::~ScopedKeyRights() {
    if (m_hKey == nullptr) return;
    SetEveryonesRights(m_hKey, KEY_ALL_ACCESS);
    RegCloseKey(m_hKey);
}

ScopedKeys::ScopedKeys(HKEY root, std::initializer_list<std::string> paths)
    : m_hRoot(root), m_paths(paths) {
    RemoveAll();
}

void ScopedKeys::RemoveAll() const {
    for (const std::string& path : m_paths) RegDeleteTreeA(m_hRoot, path.c_str());
}

}  // namespace regtest
