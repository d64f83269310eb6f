#include "StandInWindows.h"

#include <cstring>
#include <future>
#include <memory>
#include <string>

namespace regtest {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);

class TestDesktop {
  public:
    TestDesktop()
        : m_desktop(CreateDesktopA("CorvaneRegTests", nullptr, nullptr, 0, GENERIC_ALL, nullptr)) {}
    TestDesktop(const TestDesktop&) = delete;
    TestDesktop& operator=(const TestDesktop&) = delete;
    ~TestDesktop() {
        if (m_desktop != nullptr) CloseDesktop(m_desktop);
    }
    bool Join() const { return m_desktop != nullptr && SetThreadDesktop(m_desktop); }

  private:
    HDESK m_desktop;
};

bool JoinTestDesktop() {
    static const TestDesktop desktop;
    return desktop.Join();
}

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* record =
        reinterpret_cast<StandInWindows::Record*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != WM_CLOSE || record == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (wParam == 0 && lParam == 0) ++record->closes;
    if (record->goesAway) DestroyWindow(window);
    return record->closeResult;
}

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::strlen(text));
}

HWND Create(const StandIn& standIn, StandInWindows::Record& record) {
    const std::wstring className = Wide(standIn.className);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = StandInProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className.c_str();
    RegisterClassW(&windowClass);  // several stand-ins may share a class
    return CreateWindowExW(0, className.c_str(), standIn.caption, WS_OVERLAPPEDWINDOW, 0, 0, 100,
                           100, nullptr, nullptr, windowClass.hInstance, &record);
}

}  // namespace

StandInWindows::StandInWindows(std::vector<StandIn> windows) : m_records(windows.size()) {
    for (size_t i = 0; i < windows.size(); ++i) {
        m_records[i].closeResult = windows[i].closeResult;
        m_records[i].goesAway = windows[i].goesAway;
    }
    // Shared with the thread: it may still report after a timed-out wait has given up on it.
    const auto created = std::make_shared<std::promise<bool>>();
    std::future<bool> ready = created->get_future();
    const bool joined = JoinTestDesktop();
    m_thread = std::thread([this, windows, created] {
        bool all = JoinTestDesktop();
        for (size_t i = 0; i < windows.size(); ++i) all = Create(windows[i], m_records[i]) && all;
        m_threadId = GetCurrentThreadId();
        created->set_value(all);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    });
    m_ready = joined && ready.wait_for(kStartTimeout) == std::future_status::ready && ready.get();
}

StandInWindows::~StandInWindows() {
    PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    m_thread.join();
}

}  // namespace regtest
