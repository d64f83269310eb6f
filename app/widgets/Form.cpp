#include "Form.h"

#include "Timer.h"
#include "WideText.h"

namespace {

struct WindowStyles {
    DWORD style;
    DWORD exStyle;
};

WindowStyles StylesFor(const FormDesign& design) {
    WindowStyles styles{WS_POPUP | WS_CLIPCHILDREN, 0};
    if (design.border == FormBorder::kToolWindow) {
        styles.style |= WS_CAPTION;
        styles.exStyle |= WS_EX_TOOLWINDOW;
    }
    if (design.stayOnTop) styles.exStyle |= WS_EX_TOPMOST;
    if (design.alpha != 255) styles.exStyle |= WS_EX_LAYERED;
    return styles;
}

void RegisterFormClass(HINSTANCE instance, const std::wstring& name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name.c_str();
    RegisterClassExW(&windowClass);  // the second form of a class finds it registered
}

}  // namespace

Form::Form(Application& application, const FormDesign& design)
    : m_application(application),
      m_color(design.color),
      m_hBrush(CreateSolidBrush(design.color)),
      m_bScreenCentre(design.screenCentre) {
    const std::wstring className = Widen(design.className);
    RegisterFormClass(application.Instance(), className, WindowProc);
    const WindowStyles styles = StylesFor(design);
    RECT outer{0, 0, design.clientWidth, design.clientHeight};
    AdjustWindowRectEx(&outer, styles.style, FALSE, styles.exStyle);
    m_hWnd = CreateWindowExW(styles.exStyle, className.c_str(), Widen(design.caption).c_str(),
                             styles.style, design.left, design.top, outer.right - outer.left,
                             outer.bottom - outer.top, application.Handle(), nullptr,
                             application.Instance(), this);
    if (styles.exStyle & WS_EX_LAYERED) {
        SetLayeredWindowAttributes(m_hWnd, 0, design.alpha, LWA_ALPHA);
    }
}

Form::~Form() {
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
    DeleteObject(m_hBrush);
}

void Form::Show() {
    if (!Visible()) {
        if (m_bScreenCentre && !m_bShownBefore) CentreOnMainMonitor();
        m_bShownBefore = true;
        FormShow();
        ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    }
    SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::Hide() const {
    ShowWindow(m_hWnd, SW_HIDE);
}

bool Form::Visible() const {
    return IsWindowVisible(m_hWnd) != FALSE;
}

void Form::Close() {
    Hide();
    if (m_application.MainForm() == this) m_application.Terminate();
}

void Form::SetCaption(const std::string& caption) const {
    SetWindowTextW(m_hWnd, Widen(caption).c_str());
}

void Form::MoveTo(int left, int top) const {
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Form::Width() const {
    RECT bounds{};
    GetWindowRect(m_hWnd, &bounds);
    return bounds.right - bounds.left;
}

int Form::Height() const {
    RECT bounds{};
    GetWindowRect(m_hWnd, &bounds);
    return bounds.bottom - bounds.top;
}

UINT_PTR Form::AddTimer(Timer& timer) {
    m_timers.push_back(&timer);
    return m_timers.size();
}

void Form::RemoveTimer(UINT_PTR id) {
    if (id >= 1 && id <= m_timers.size()) m_timers[id - 1] = nullptr;
}

bool Form::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

// An error in a handler is shown and the loop goes on, as with any toolkit-driven program;
// letting it unwind through the window system's frames is not an option.
LRESULT CALLBACK Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->m_hWnd != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return form->Dispatch(message, wParam, lParam);
    } catch (const std::exception& failure) {
        form->m_application.ShowException(failure);
        return 0;
    }
}

LRESULT Form::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(m_hWnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, m_hBrush);
            return 1;
        }
        case WM_CTLCOLORSTATIC:
            return PaintStaticBackground(reinterpret_cast<HDC>(wParam));
        case WM_TIMER:
            if (wParam >= 1 && wParam <= m_timers.size() && m_timers[wParam - 1] != nullptr) {
                m_timers[wParam - 1]->Fire();
            }
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        default:
            break;
    }
    LRESULT result = 0;
    if (HandleMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

// Labels and pictures are drawn over the form's own colour, as if they had no background.
LRESULT Form::PaintStaticBackground(HDC dc) const {
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, m_color);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(m_hBrush);
}

void Form::CentreOnMainMonitor() const {
    const Form* mainForm = m_application.MainForm();
    HMONITOR monitor = MonitorFromWindow(mainForm != nullptr ? mainForm->Handle() : m_hWnd,
                                         MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    const RECT& screen = info.rcMonitor;
    MoveTo(screen.left + (screen.right - screen.left - Width()) / 2,
           screen.top + (screen.bottom - screen.top - Height()) / 2);
}
