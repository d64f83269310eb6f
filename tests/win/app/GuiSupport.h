// What the window tests need around them: a desktop of their own on the test's X server, the
// program started on it, its windows read through Win32 from outside, and screenshots.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Win32.h"

namespace apptest {

// The Korean run of the tests (LC_ALL=ko_KR.UTF-8) says so in QDV_EXPECT_LANGUAGE.
bool KoreanRun();
const char* RunName();  // "korean" or "english"

// Puts the calling thread on the tests' desktop, made at the first call: a Wine virtual desktop
// of 1024 x 768 started from this process, so on this test's display, whatever display the
// session's default desktop belongs to.
bool JoinTestDesktop();

// Dispatches the calling thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// QuonDorvel.exe, from beside the test, started on the tests' desktop.
class Program {
  public:
    Program();
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
    std::wstring className;
    std::wstring text;
    RECT bounds;  // in the parent's client pixels
    LONG style;
    bool Visible() const { return (style & WS_VISIBLE) != 0; }
};
// In creation order.
std::vector<ChildWindow> Children(HWND parent);

struct Box {
    HWND handle;
    std::wstring caption;
    std::wstring text;
    std::vector<std::wstring> buttons;
    bool icon;
};
Box ReadBox(HWND box);

// A picture of the whole X screen as <build>/screenshots/<name>.png, taken by the script that
// runs the tests (screenshot-on-request.sh); nothing when the tests run without it.
void Screenshot(const std::string& name);

}  // namespace apptest
