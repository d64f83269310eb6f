#include "TrayIcon.h"

#include <shellapi.h>

#include "Application.h"
#include "PopupMenu.h"
#include "WideText.h"

namespace {

const wchar_t kTrayIconClass[] = L"TTrayIconWindow";
constexpr UINT_PTR kAddAgainTimer = 1;
// The shell can deliver a click while this thread waits in a call of its own to another
// process, such as the Shell_NotifyIcon of a start in progress. Handled there, the menu would
// open in the middle of that start, with the items as they were before it (and a choice would
// run inside it): the click is posted, and taken when the thread's loop comes to it.
constexpr UINT kMouseEventLater = WM_APP + 1;
constexpr UINT kEverything = NIF_ICON | NIF_MESSAGE | NIF_TIP;

}  // namespace

TrayIcon::TrayIcon(Application& application, const IconList& pictures, PopupMenu& popupMenu,
                   std::function<void(UINT)> onMouseDown, TrayShell shell)
    : m_application(application),
      m_pictures(pictures),
      m_popupMenu(popupMenu),
      m_onMouseDown(std::move(onMouseDown)),
      m_shell(std::move(shell)),
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
    Add();
}

TrayIcon::~TrayIcon() {
    KillTimer(m_hWnd, kAddAgainTimer);
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
    return m_shell.notifyIcon(action, data);
}

// A shell still starting at log-on refuses the icon (the call times out) and, having been there
// all along, sends no TaskbarCreated later: the icon is offered again, a bounded number of times.
void TrayIcon::Add() {
    m_nRetriesLeft = m_shell.retries;
    if (Tell(NIM_ADD, kEverything)) {
        KillTimer(m_hWnd, kAddAgainTimer);
    } else {
        SetTimer(m_hWnd, kAddAgainTimer, m_shell.retryMs, nullptr);
    }
}

// An add that timed out may have been taken after all; then only a change succeeds.
void TrayIcon::AddAgain() {
    if (Tell(NIM_MODIFY, kEverything) || Tell(NIM_ADD, kEverything) || --m_nRetriesLeft <= 0) {
        KillTimer(m_hWnd, kAddAgainTimer);
    }
}

void TrayIcon::MouseEvent(UINT mouseMessage) {
    if (!IsWindowEnabled(m_hWnd)) return;
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
        PostMessageW(window, kMouseEventLater, 0, lParam);
        return 0;
    }
    if (icon != nullptr && message == kMouseEventLater) {
        try {
            icon->MouseEvent(static_cast<UINT>(lParam));
        } catch (const std::exception& failure) {
            icon->m_application.ShowException(failure);
        }
        return 0;
    }
    if (icon != nullptr && message == icon->m_taskbarCreated) {
        icon->Add();
        return 0;
    }
    if (icon != nullptr && message == WM_TIMER && wParam == kAddAgainTimer) {
        icon->AddAgain();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
