// What the window tests need around them: a desktop of their own on the test's X server, the
// program started on it, its windows read through Win32 from outside, and screenshots.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Win32.h"

namespace apptest {

// The Korean run of the tests (LC_ALL=ko_KR.UTF-8) says so in QDV_EXPECT_LANGUAGE.
bool KoreanRun();
const char* RunName();  // "korean" or "english"

// Puts the calling thread on the tests' desktop, made at the first call: a Wine virtual desktop
// of 1024 x 768 pixels at 96 DPI (as many more as the screen's DPI asks) started from this
// process, so on this test's display, whatever display the session's default desktop belongs to.
bool JoinTestDesktop();

// Dispatches the calling thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// A program started on the tests' desktop: QuonDorvel.exe from beside the test, or the command.
class Program {
  public:
    explicit Program(std::wstring commandLine = L"");
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();  // ends the program if a test left it running

    DWORD Id() const { return m_info.dwProcessId; }
    bool Running() const;
    // The exit code, or STILL_ACTIVE when the program has not ended in time.
    DWORD WaitForExit(DWORD timeoutMs) const;

  private:
    PROCESS_INFORMATION m_info{};
};

// The process's top-level windows of that class, topmost first. A shown window has its
// contents: a message box is shown once its texts are in.
std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className, bool shownOnly = false);
HWND WaitForWindow(DWORD processId, const wchar_t* className, bool shownOnly, DWORD timeoutMs);

std::wstring WindowText(HWND window);

struct ChildWindow {
    HWND handle;
    std::wstring className;
    std::wstring text;
    RECT bounds;  // in the parent's client pixels
    LONG style;
    bool Visible() const { return (style & WS_VISIBLE) != 0; }
};
// In creation order.
std::vector<ChildWindow> Children(HWND parent);
// The child at a designed place (the skip-th of several there), or null.
const ChildWindow* ChildAt(const std::vector<ChildWindow>& children, int left, int top,
                           size_t skip = 0);
// The text of the child at a designed place, or nothing when there is none.
std::optional<std::wstring> TextAt(HWND parent, int left, int top);
// Waits until the child at a designed place shows the text.
bool WaitForTextAt(HWND parent, int left, int top, const std::wstring& text, DWORD timeoutMs);

struct Box {
    HWND handle;
    std::wstring caption;
    std::wstring text;
    std::vector<std::wstring> buttons;
    bool icon;
};
Box ReadBox(HWND box);

// A picture of the whole X screen as <build>/screenshots/<name>.png, taken by the script that
// runs the tests (host-requests.sh); nothing when the tests run without it.
void Screenshot(const std::string& name);

// A command line run under sh on the Linux side by that script: a real NFS client, or xdotool
// for the mouse. Its output (stdout and stderr) and exit status; status -1 when there is no
// script or the command did not end in time.
struct HostResult {
    int status = -1;
    std::string output;
};
HostResult RunOnHost(const std::string& command, DWORD timeoutMs = 60000);
// A click of the real mouse, through the X server, at a point of the test desktop.
bool ClickAt(POINT at, int button);

// What the screen shows at those pixels, as 0x00RRGGBB values row by row.
std::vector<DWORD> ScreenPixels(const RECT& area);

// The program's icon in the notification area: the rightmost icon of the taskbar.
enum class TrayPicture { kNone, kOff, kOn };
RECT TrayIconBounds();
TrayPicture TrayIconPicture();
bool WaitForTrayPicture(TrayPicture picture, DWORD timeoutMs = 15000);

// The popup menu a process shows: its place and, row by row, whether an item is drawn enabled
// (dark text) or greyed out. The items are rows of equal height.
struct ShownMenu {
    HWND window = nullptr;
    RECT bounds{};
    std::vector<bool> enabled;
    POINT RowCentre(size_t row) const;
};
std::optional<ShownMenu> WaitForMenu(DWORD processId, size_t rows, DWORD timeoutMs);

}  // namespace apptest
