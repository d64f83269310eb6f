#include "WideText.h"

#include "Win32.h"

namespace {

std::wstring ToWide(UINT codePage, const char* text, int length) {
    if (length == 0) return {};
    std::wstring wide(MultiByteToWideChar(codePage, 0, text, length, nullptr, 0), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string FromWide(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    std::string text(
        WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), length, text.data(),
                        static_cast<int>(text.size()), nullptr, nullptr);
    return text;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
    return ToWide(CP_UTF8, utf8.data(), static_cast<int>(utf8.size()));
}

std::string Narrow(const std::wstring& wide) {
    return FromWide(CP_UTF8, wide);
}

std::string AnsiToUtf8(const char* ansi) {
    return Narrow(ToWide(CP_ACP, ansi, static_cast<int>(std::string(ansi).size())));
}

std::string Utf8ToAnsi(const std::string& utf8) {
    return FromWide(CP_ACP, Widen(utf8));
}
