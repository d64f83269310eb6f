#include "GuiSupport.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace apptest {

namespace {

constexpr DWORD kScreenshotTimeoutMs = 10000;
// A menu draws its items inside a margin of this many pixels.
constexpr int kMenuMargin = 3;
const wchar_t kExplorerDesktops[] = L"Software\\Wine\\Explorer\\Desktops";

std::wstring DesktopName() {
    return L"QuonDorvelTests" + std::to_wstring(GetCurrentProcessId());
}

// Pixels of a 96-DPI screen at the DPI of Wine's screen: the user's LogPixels, which the runs at
// other DPIs set. Asking the display instead would start this process's display driver while it
// is still on the default desktop, and it could then make no window on the tests' one.
int AtScreenDpi(int pixels) {
    DWORD dpi = 96;
    DWORD size = sizeof dpi;
    RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", RRF_RT_REG_DWORD,
                 nullptr, &dpi, &size);
    return MulDiv(pixels, dpi, 96);
}

// Wine's explorer makes a desktop with a size in its settings a virtual desktop, which draws
// every window frame itself as Windows would; the setting is only read when it starts.
class TestDesktop {
  public:
    TestDesktop() : m_name(DesktopName()) {
        const std::wstring size =
            std::to_wstring(AtScreenDpi(1024)) + L"x" + std::to_wstring(AtScreenDpi(768));
        RegSetKeyValueW(HKEY_CURRENT_USER, kExplorerDesktops, m_name.c_str(), REG_SZ, size.c_str(),
                        static_cast<DWORD>((size.size() + 1) * sizeof(wchar_t)));
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

// A request file for the script that runs the tests, in its folder as Wine reaches it (drive Z:
// is the Unix root); empty when the tests run without the script.
std::string RequestPath(const std::string& name) {
    const char* folder = std::getenv("QDV_HOST_REQUESTS");
    return folder != nullptr ? std::string("Z:") + folder + "/" + name : std::string();
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Written under another name first, so the script never reads half a request.
void PutRequest(const std::string& path, const std::string& content) {
    std::ofstream(path + ".part", std::ios::binary) << content;
    MoveFileA((path + ".part").c_str(), path.c_str());
}

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Dark(DWORD pixel) {
    return (pixel & 0xFF) < 0x40 && ((pixel >> 8) & 0xFF) < 0x40 && ((pixel >> 16) & 0xFF) < 0x40;
}

size_t DarkPixels(const std::vector<DWORD>& pixels) {
    size_t dark = 0;
    for (DWORD pixel : pixels) dark += Dark(pixel) ? 1 : 0;
    return dark;
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

Program::Program(std::wstring commandLine) {
    if (commandLine.empty()) commandLine = L"\"" + Beside(L"QuonDorvel.exe") + L"\"";
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

// Asked of the window itself: controls of another process, edit boxes among them, keep their
// texts where only the window's own answer reaches them.
std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

std::vector<ChildWindow> Children(HWND parent) {
    std::vector<HWND> handles;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&handles));
    std::vector<ChildWindow> children;
    for (HWND handle : handles) {
        ChildWindow child{
            handle, ClassOf(handle), WindowText(handle), {}, GetWindowLongW(handle, GWL_STYLE)};
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

const ChildWindow* ChildAt(const std::vector<ChildWindow>& children, int left, int top,
                           size_t skip) {
    for (const ChildWindow& child : children) {
        if (child.bounds.left == left && child.bounds.top == top && skip-- == 0) return &child;
    }
    return nullptr;
}

std::optional<std::wstring> TextAt(HWND parent, int left, int top) {
    const std::vector<ChildWindow> children = Children(parent);
    const ChildWindow* child = ChildAt(children, left, top);
    if (child == nullptr) return std::nullopt;
    return child->text;
}

bool WaitForTextAt(HWND parent, int left, int top, const std::wstring& text, DWORD timeoutMs) {
    return PumpUntil([&] { return TextAt(parent, left, top) == text; }, timeoutMs);
}

void Screenshot(const std::string& name) {
    const std::string request = RequestPath(name + ".shot");
    if (request.empty()) return;
    PutRequest(request, "\n");
    PumpUntil([&] { return !Exists(request); }, kScreenshotTimeoutMs);
}

HostResult RunOnHost(const std::string& command, DWORD timeoutMs) {
    static int counter = 0;
    const std::string base = RequestPath("run" + std::to_string(++counter));
    if (base.empty()) return {};
    const std::string status = base + ".status";
    PutRequest(base + ".run", command);
    if (!PumpUntil([&] { return Exists(status); }, timeoutMs)) return {};
    HostResult result;
    std::istringstream(ReadWhole(status)) >> result.status;
    result.output = ReadWhole(base + ".out");
    DeleteFileA(status.c_str());
    DeleteFileA((base + ".out").c_str());
    return result;
}

bool ClickAt(POINT at, int button) {
    return RunOnHost("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) +
                     " click " + std::to_string(button))
               .status == 0;
}

std::vector<DWORD> ScreenPixels(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<DWORD> pixels;
    if (width <= 0 || height <= 0) return pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, picture);
    if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
        const auto* first = static_cast<const DWORD*>(bits);
        pixels.assign(first, first + width * height);
    }
    SelectObject(memory, previous);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

// Wine's taskbar lists the icons from its right end, each in a cell two pixels wider than the
// icon on either side.
RECT TrayIconBounds() {
    RECT bar{};
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (taskbar == nullptr || !IsWindowVisible(taskbar) || !GetWindowRect(taskbar, &bar)) return {};
    return {bar.right - GetSystemMetrics(SM_CXSMICON) - 4, bar.top, bar.right, bar.bottom};
}

// Told apart by the badge: a red cross when off, a green tick when on.
TrayPicture TrayIconPicture() {
    size_t red = 0;
    size_t green = 0;
    for (DWORD pixel : ScreenPixels(TrayIconBounds())) {
        const int r = (pixel >> 16) & 0xFF;
        const int g = (pixel >> 8) & 0xFF;
        const int b = pixel & 0xFF;
        if (r > 150 && g < 100 && b < 100) ++red;
        if (g > 130 && r < 100 && b < 140) ++green;
    }
    if (red >= 3 && red > green) return TrayPicture::kOff;
    if (green >= 3 && green > red) return TrayPicture::kOn;
    return TrayPicture::kNone;
}

bool WaitForTrayPicture(TrayPicture picture, DWORD timeoutMs) {
    return PumpUntil([picture] { return TrayIconPicture() == picture; }, timeoutMs);
}

POINT ShownMenu::RowCentre(size_t row) const {
    const double height = double(bounds.bottom - bounds.top - 2 * kMenuMargin) / enabled.size();
    return {(bounds.left + bounds.right) / 2,
            bounds.top + kMenuMargin + static_cast<LONG>(height * (row + 0.5))};
}

// A menu counts as shown once it is drawn: some item has its dark text.
std::optional<ShownMenu> WaitForMenu(DWORD processId, size_t rows, DWORD timeoutMs) {
    ShownMenu menu;
    menu.enabled.assign(rows, false);
    const auto drawn = [&] {
        const std::vector<HWND> shown = WindowsOf(processId, L"#32768", true);
        if (shown.empty()) return false;
        menu.window = shown.front();
        GetWindowRect(menu.window, &menu.bounds);
        const LONG rowHeight =
            (menu.bounds.bottom - menu.bounds.top - 2 * kMenuMargin) / LONG(rows);
        bool anyEnabled = false;
        for (size_t row = 0; row < rows; ++row) {
            const LONG top = menu.bounds.top + kMenuMargin + rowHeight * LONG(row);
            menu.enabled[row] = DarkPixels(ScreenPixels({menu.bounds.left, top, menu.bounds.right,
                                                         top + rowHeight})) >= 10;
            anyEnabled = anyEnabled || menu.enabled[row];
        }
        return anyEnabled;
    };
    if (!PumpUntil(drawn, timeoutMs)) return std::nullopt;
    return menu;
}

}  // namespace apptest
