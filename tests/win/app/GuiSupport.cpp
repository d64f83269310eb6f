#include "GuiSupport.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace apptest {

namespace {

constexpr DWORD kScreenshotTimeoutMs = 10000;
const wchar_t kExplorerDesktops[] = L"Software\\Wine\\Explorer\\Desktops";

std::wstring DesktopName() {
    return L"QuonDorvelTests" + std::to_wstring(GetCurrentProcessId());
}

// Wine's explorer makes a desktop with a size in its settings a virtual desktop, which draws
// every window frame itself as Windows would; the setting is only read when it starts.
class TestDesktop {
  public:
    TestDesktop() : m_name(DesktopName()) {
        const wchar_t size[] = L"1024x768";
        RegSetKeyValueW(HKEY_CURRENT_USER, kExplorerDesktops, m_name.c_str(), REG_SZ, size,
                        sizeof size);
        m_hDesktop = CreateDesktopW(m_name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    }
    TestDesktop(const TestDesktop&) = delete;
    TestDesktop& operator=(const TestDesktop&) = delete;
    ~TestDesktop() {
        if (m_hDesktop != nullptr) CloseDesktop(m_hDesktop);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kExplorerDesktops, m_name.c_str());
    }
    bool Join() const { return m_hDesktop != nullptr && SetThreadDesktop(m_hDesktop); }
    const std::wstring& Name() const { return m_name; }

  private:
    std::wstring m_name;
    HDESK m_hDesktop = nullptr;
};

const TestDesktop& Desktop() {
    static const TestDesktop desktop;
    return desktop;
}

std::wstring Beside(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path);
    return self.substr(0, self.rfind(L'\\') + 1) + fileName;
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::wstring ClassOf(HWND window) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    return className;
}

}  // namespace

bool KoreanRun() {
    const char* language = std::getenv("QDV_EXPECT_LANGUAGE");
    return language != nullptr && std::strcmp(language, "korean") == 0;
}

const char* RunName() {
    return KoreanRun() ? "korean" : "english";
}

bool JoinTestDesktop() {
    return Desktop().Join();
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

Program::Program() {
    std::wstring commandLine = L"\"" + Beside(L"QuonDorvel.exe") + L"\"";
    std::wstring desktop = Desktop().Name();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop.data();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &m_info)) {
        m_info = {};
    }
}

Program::~Program() {
    if (m_info.hProcess == nullptr) return;
    if (Running()) {
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

bool Program::Running() const {
    return m_info.hProcess != nullptr && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Program::WaitForExit(DWORD timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    PumpUntil([this] { return !Running(); }, timeoutMs);
    GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className, bool shownOnly) {
    std::vector<HWND> all;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> matching;
    for (HWND window : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && ClassOf(window) == className &&
            (!shownOnly || IsWindowVisible(window))) {
            matching.push_back(window);
        }
    }
    return matching;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, bool shownOnly, DWORD timeoutMs) {
    std::vector<HWND> found;
    PumpUntil([&] { return !(found = WindowsOf(processId, className, shownOnly)).empty(); },
              timeoutMs);
    return found.empty() ? nullptr : found.front();
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::vector<ChildWindow> Children(HWND parent) {
    std::vector<HWND> handles;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&handles));
    std::vector<ChildWindow> children;
    for (HWND handle : handles) {
        ChildWindow child{
            ClassOf(handle), WindowText(handle), {}, GetWindowLongW(handle, GWL_STYLE)};
        GetWindowRect(handle, &child.bounds);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&child.bounds), 2);
        children.push_back(child);
    }
    return children;
}

Box ReadBox(HWND box) {
    Box content{box, WindowText(box), {}, {}, false};
    for (const ChildWindow& child : Children(box)) {
        if (child.className == L"Button") content.buttons.push_back(child.text);
        if (child.className != L"Static") continue;
        if ((child.style & SS_TYPEMASK) == SS_ICON) content.icon = true;
        if (!child.text.empty()) content.text = child.text;
    }
    return content;
}

void Screenshot(const std::string& name) {
    const char* folder = std::getenv("QDV_SCREENSHOT_DIR");
    if (folder == nullptr) return;
    // Wine's drive Z: is the Unix root.
    const std::string request = std::string("Z:") + folder + "/" + name + ".request";
    std::ofstream(request).put('\n');
    PumpUntil([&] { return GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES; },
              kScreenshotTimeoutMs);
}

}  // namespace apptest
