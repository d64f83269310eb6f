// Closes the maker's running applications before an installer replaces their files. Each one is
// found by the class and caption of its main window and asked to close the way its own close
// button would, synchronously, so it has finished by the time we return.
#include <initializer_list>
#include <vector>

#include "CorvaneReg.h"
#include "ExportBoundary.h"
#include "Win32.h"

namespace {

struct AppWindow {
    const char* className;
    const char* caption;  // null: any caption
};

// Every window is looked up before the first is closed: closing one of them may make another
// application react, and we want the set that was running when we were called. The answer is
// that of the last close sent, 0 when nothing was found.
uint32_t CloseAppWindows(std::initializer_list<AppWindow> windows) {
    return reglib::AnswerOr(0u, [windows] {
        std::vector<HWND> found;
        for (const AppWindow& window : windows) {
            found.push_back(FindWindowA(window.className, window.caption));
        }
        LRESULT result = 0;
        for (HWND window : found) {
            if (window != nullptr) result = SendMessageA(window, WM_CLOSE, 0, 0);
        }
        return static_cast<uint32_t>(result);
    });
}

// "환경설정" (Settings) in code page 949: FindWindowA reads captions in the system's ANSI code
// page, and the remote control's settings window only exists with that caption on Korean systems.
const char kRemoconSettingsKorean[] = "\xC8\xAF\xB0\xE6\xBC\xB3\xC1\xA4";

}  // namespace

extern "C" uint32_t __stdcall DestroyRemoconApp() {
    return CloseAppWindows({{"TCorvaneRC", nullptr},
                            {"Varnex Hdtv MainWnd Class", "Varnex Hdtv MainWnd"},
                            {"TCorvaneRC", "Configurations"},
                            {"TCorvaneRC", kRemoconSettingsKorean}});
}

extern "C" uint32_t __stdcall DestroyTray() {
    return CloseAppWindows({{"TCorvaneHdtvTray", "HDTV Tray"}});
}

extern "C" uint32_t __stdcall DestroyResmanager() {
    return CloseAppWindows({{"TPellamManagerForm", "PellamManagerForm"}});
}

extern "C" uint32_t __stdcall DestroyUSBTray() {
    return CloseAppWindows({{"TCorvaneHdtvTray", "USBHDTV Tray"}});
}

// The sharing program's hidden main window; closing it ends the program's message loop.
extern "C" uint32_t __stdcall DestroyDorvel() {
    return CloseAppWindows({{"TForm1", "DorvelMainForm"}});
}
