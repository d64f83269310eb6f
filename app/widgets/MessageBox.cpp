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

// The window the user works in, when one of ours is shown: the box is owned by it, and it takes
// no clicks until the box is closed.
HWND ShownActiveWindow() {
    HWND active = GetActiveWindow();
    return active != nullptr && IsWindowVisible(active) ? active : nullptr;
}

}  // namespace

// Without such a window the box is modal to every window of the thread, the hidden ones that
// take the tray icon's clicks included: nothing runs inside it that the user started anew.
void ShowMessageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
    HWND owner = ShownActiveWindow();
    const UINT style = MB_OK | MB_TOPMOST | (owner == nullptr ? MB_TASKMODAL : 0) |
                       (icon == BoxIcon::kInformation ? MB_ICONINFORMATION : MB_ICONERROR);
    HHOOK hook = SetWindowsHookExW(WH_CBT, NameButtonOk, nullptr, GetCurrentThreadId());
    MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), style);
    if (hook != nullptr) UnhookWindowsHookEx(hook);
}
