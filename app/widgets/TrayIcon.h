#pragma once

#include <functional>
#include <string>

#include "IconList.h"
#include "Win32.h"
// After the Windows headers, which it builds on.
#include <shellapi.h>

class Application;
class PopupMenu;

// The notification area as the icon meets it: the shell's call, and how often and how far apart
// the icon is offered again while the shell refuses it. Tests put a refusing shell in its place.
struct TrayShell {
    std::function<bool(DWORD action, NOTIFYICONDATAW& data)> notifyIcon =
        [](DWORD action, NOTIFYICONDATAW& data) {
            return Shell_NotifyIconW(action, &data) != FALSE;
        };
    UINT retryMs = 2000;
    int retries = 60;
};

// The program's icon in the notification area, with a picture from an icon list and a hint.
// Its popup menu opens when the right button is released on it; a press of any button is
// reported to the owner, with the button. While the thread's windows are disabled (a box waits
// for the user) its clicks do nothing.
class TrayIcon {
  public:
    TrayIcon(Application& application, const IconList& pictures, PopupMenu& popupMenu,
             std::function<void(UINT buttonDown)> onMouseDown, TrayShell shell = {});
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon();

    void SetIconIndex(int index);
    int IconIndex() const { return m_nIconIndex; }
    void SetHint(const std::string& hint);
    const std::string& Hint() const { return m_hint; }

    // The callback message of the icon, registered by name.
    static UINT NotifyMessage();

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void MouseEvent(UINT mouseMessage);
    bool Tell(DWORD action, UINT flags) const;
    void Add();
    void AddAgain();

    Application& m_application;
    const IconList& m_pictures;
    PopupMenu& m_popupMenu;
    std::function<void(UINT)> m_onMouseDown;
    TrayShell m_shell;
    int m_nRetriesLeft = 0;
    int m_nIconIndex = 0;
    std::string m_hint;
    UINT m_taskbarCreated;
    HWND m_hWnd = nullptr;
};
