#include "TestRegistry.h"

#include <cstring>

namespace apptest {

const wchar_t kDorvelKey[] = L"Software\\Quon\\Dorvel";
const wchar_t kOptionsKey[] = L"Software\\Quon\\Dorvel\\Options";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring StoredValue::Text() const {
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

DWORD StoredValue::Number() const {
    DWORD number = 0;
    std::memcpy(&number, data.data(), std::min(data.size(), sizeof number));
    return number;
}

std::optional<StoredValue> ReadValue(const wchar_t* key, const wchar_t* name, HKEY root) {
    StoredValue value;
    DWORD size = 0;
    if (RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, value.data.data(),
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

void PutText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void PutNumber(const wchar_t* key, const wchar_t* name, DWORD number) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &number, sizeof number);
}

void FreshAccount::Clear() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kDorvelKey);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"QuonDorvel");
}

}  // namespace apptest
