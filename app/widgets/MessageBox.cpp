#include "MessageBox.h"

#include "WideText.h"
#include "Win32.h"

namespace {

// The system would label the button in its own language; ours keeps its one caption.
LRESULT CALLBACK NameButtonOk(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const auto box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        GetClassNameW(box, className, 16);
        if (std::wstring(className) == L"#32770") SetDlgItemTextW(box, IDOK, L"OK");
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
    const UINT style =
        MB_OK | MB_TOPMOST | (icon == BoxIcon::kInformation ? MB_ICONINFORMATION : MB_ICONERROR);
    HHOOK hook = SetWindowsHookExW(WH_CBT, NameButtonOk, nullptr, GetCurrentThreadId());
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), style);
    if (hook != nullptr) UnhookWindowsHookEx(hook);
}
