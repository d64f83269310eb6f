#include "TrayIcon.h"

#include <shellapi.h>

#include "Application.h"
#include "PopupMenu.h"
#include "WideText.h"

namespace {

const wchar_t kTrayIconClass[] = L"TTrayIconWindow";

}  // namespace

TrayIcon::TrayIcon(Application& application, const IconList& pictures, PopupMenu& popupMenu,
                   std::function<void(UINT)> onMouseDown)
    : m_application(application),
      m_pictures(pictures),
      m_popupMenu(popupMenu),
      m_onMouseDown(std::move(onMouseDown)),
      m_taskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = application.Instance();
    windowClass.lpszClassName = kTrayIconClass;
    RegisterClassExW(&windowClass);
    m_hWnd = CreateWindowExW(0, kTrayIconClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             application.Instance(), nullptr);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Tell(NIM_ADD, NIF_ICON | NIF_MESSAGE | NIF_TIP);
}

TrayIcon::~TrayIcon() {
    Tell(NIM_DELETE, 0);
    DestroyWindow(m_hWnd);
}

UINT TrayIcon::NotifyMessage() {
    static const UINT message = RegisterWindowMessageW(L"IconNotify");
    return message;
}

void TrayIcon::SetIconIndex(int index) {
    m_nIconIndex = index;
    Tell(NIM_MODIFY, NIF_ICON);
}

void TrayIcon::SetHint(const std::string& hint) {
    m_hint = hint;
    Tell(NIM_MODIFY, NIF_TIP);
}

bool TrayIcon::Tell(DWORD action, UINT flags) const {
    // The size Windows XP knows: a later one makes XP refuse the call.
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = m_hWnd;
    data.uID = 1;
    data.uFlags = flags;
    data.uCallbackMessage = NotifyMessage();
    data.hIcon = m_pictures.Icon(m_nIconIndex);
    Widen(m_hint).copy(data.szTip, std::size(data.szTip) - 1);
    return Shell_NotifyIconW(action, &data) != FALSE;
}

void TrayIcon::MouseEvent(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            m_onMouseDown(mouseMessage);
            return;
        case WM_RBUTTONUP: {
            POINT at{};
            GetCursorPos(&at);
            m_popupMenu.Popup(at.x, at.y);
            return;
        }
        default:
            return;
    }
}

// A restarted shell forgets every icon and says so to all top-level windows. An error in what
// the menu runs is shown, as the forms show theirs.
LRESULT CALLBACK TrayIcon::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* icon = reinterpret_cast<TrayIcon*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (icon != nullptr && message == NotifyMessage()) {
        try {
            icon->MouseEvent(static_cast<UINT>(lParam));
        } catch (const std::exception& failure) {
            icon->m_application.ShowException(failure);
        }
        return 0;
    }
    if (icon != nullptr && message == icon->m_taskbarCreated) {
        icon->Tell(NIM_ADD, NIF_ICON | NIF_MESSAGE | NIF_TIP);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
