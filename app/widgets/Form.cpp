#include "Form.h"

#include <algorithm>

#include "Control.h"
#include "Dpi.h"
#include "Timer.h"
#include "WideText.h"

namespace {

// Below the ids a dialog's keys send (IDOK, IDCANCEL ...), so Esc never reaches a control.
constexpr int kFirstControlId = 100;

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
    if (design.border == FormBorder::kSingle) styles.style |= WS_CAPTION | WS_SYSMENU;
    if (design.stayOnTop) styles.exStyle |= WS_EX_TOPMOST;
    if (design.alpha != 255) styles.exStyle |= WS_EX_LAYERED;
    return styles;
}

SIZE OuterSize(const FormDesign& design, const WindowStyles& styles) {
    if (design.outerWidth != 0) return {Scaled(design.outerWidth), Scaled(design.outerHeight)};
    RECT outer{0, 0, Scaled(design.clientWidth + 2 * design.borderWidth),
               Scaled(design.clientHeight + 2 * design.borderWidth)};
    AdjustWindowRectEx(&outer, styles.style, FALSE, styles.exStyle);
    return {outer.right - outer.left, outer.bottom - outer.top};
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

RECT WindowBounds(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return bounds;
}

}  // namespace

Form::Form(Application& application, const FormDesign& design)
    : m_application(application),
      m_color(design.color),
      m_hBrush(CreateSolidBrush(design.color)),
      m_bScreenCentre(design.screenCentre),
      m_bActivateOnShow(design.activateOnShow),
      m_borderWidth(Scaled(design.borderWidth)),
      m_bDialogKeys(design.dialogKeys) {
    if (design.mainForm) application.SetMainForm(*this);
    const std::wstring className = Widen(design.className);
    RegisterFormClass(application.Instance(), className, WindowProc);
    const WindowStyles styles = StylesFor(design);
    const SIZE outer = OuterSize(design, styles);
    m_hWnd = CreateWindowExW(styles.exStyle, className.c_str(), Widen(design.caption).c_str(),
                             styles.style, Scaled(design.left), Scaled(design.top), outer.cx,
                             outer.cy, application.Handle(), nullptr, application.Instance(), this);
    if (styles.exStyle & WS_EX_LAYERED) {
        SetLayeredWindowAttributes(m_hWnd, 0, design.alpha, LWA_ALPHA);
    }
    if (m_bDialogKeys) application.AddDialogForm(m_hWnd);
}

Form::~Form() {
    if (m_bDialogKeys) m_application.RemoveDialogForm(m_hWnd);
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
    DeleteObject(m_hBrush);
}

void Form::Show() {
    if (!Visible()) {
        FormShow();
        if (m_bScreenCentre && !m_bShownBefore) CentreOnMainMonitor();
        m_bShownBefore = true;
        ShowWindow(m_hWnd, m_bActivateOnShow ? SW_SHOW : SW_SHOWNOACTIVATE);
    }
    SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | (m_bActivateOnShow ? 0 : SWP_NOACTIVATE));
    if (m_bActivateOnShow) SetForegroundWindow(m_hWnd);
}

void Form::Hide() const {
    ShowWindow(m_hWnd, SW_HIDE);
}

bool Form::Visible() const {
    return IsWindowVisible(m_hWnd) != FALSE;
}

void Form::Close() {
    FormClose();
    Hide();
    if (m_application.MainForm() == this) m_application.Terminate();
}

void Form::SetCaption(const std::string& caption) const {
    SetWindowTextW(m_hWnd, Widen(caption).c_str());
}

void Form::MoveTo(int left, int top) const {
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::MoveInsideWorkArea(int left, int top) const {
    const int width = Width();
    const int height = Height();
    const RECT wanted{left, top, left + width, top + height};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &info);
    const RECT& work = info.rcWork;
    MoveTo(std::max(work.left, std::min<LONG>(left, work.right - width)),
           std::max(work.top, std::min<LONG>(top, work.bottom - height)));
}

int Form::Left() const {
    return WindowBounds(m_hWnd).left;
}

int Form::Top() const {
    return WindowBounds(m_hWnd).top;
}

int Form::Width() const {
    const RECT bounds = WindowBounds(m_hWnd);
    return bounds.right - bounds.left;
}

int Form::Height() const {
    const RECT bounds = WindowBounds(m_hWnd);
    return bounds.bottom - bounds.top;
}

int Form::AddControl(Control& control) {
    m_controls.push_back(&control);
    return kFirstControlId + static_cast<int>(m_controls.size()) - 1;
}

void Form::RemoveControl(int id) {
    if (ControlById(id) != nullptr) m_controls[id - kFirstControlId] = nullptr;
}

Control* Form::ControlById(int id) const {
    const int index = id - kFirstControlId;
    if (index < 0 || static_cast<size_t>(index) >= m_controls.size()) return nullptr;
    return m_controls[index];
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
    // The form knows its window from the first message on, so the frame is measured with the
    // border band already at creation.
    if (message == WM_NCCREATE) {
        auto* created =
            static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->m_hWnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
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
        case WM_ERASEBKGND:
            PaintBackground(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_NCCALCSIZE:
            return CalcClientArea(wParam, lParam);
        case WM_NCPAINT:
            DefWindowProcW(m_hWnd, message, wParam, lParam);
            PaintBorderBand();
            return 0;
        case WM_CTLCOLORSTATIC:
            return PaintStaticBackground(reinterpret_cast<HDC>(wParam),
                                         reinterpret_cast<HWND>(lParam));
        case WM_COMMAND:
            if (lParam == 0) {
                if (PressKeyButton(LOWORD(wParam))) return 0;
                break;
            }
            if (Control* control = ControlById(LOWORD(wParam))) control->Notify(HIWORD(wParam));
            return 0;
        case DM_GETDEFID:
            return DefaultButtonId();
        case WM_ACTIVATE:
            if (!m_bDialogKeys) break;
            KeepFocus(LOWORD(wParam));
            return 0;
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

// Enter presses the push button that has the focus, as in a dialog box, else the default one.
LRESULT Form::DefaultButtonId() const {
    HWND focus = GetFocus();
    const bool onPushButton =
        focus != nullptr && IsChild(m_hWnd, focus) &&
        (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
    if (onPushButton) return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
    if (m_pDefaultButton == nullptr) return 0;
    return MAKELRESULT(GetDlgCtrlID(m_pDefaultButton->Handle()), DC_HASDEFID);
}

// The command a dialog's Enter or Esc sends when no button of that id exists.
bool Form::PressKeyButton(WORD id) const {
    Control* button = id == IDOK ? m_pDefaultButton : id == IDCANCEL ? m_pCancelButton : nullptr;
    if (button == nullptr) return false;
    button->Notify(BN_CLICKED);
    return true;
}

// The focus goes back to the control that had it when the form is active again, and to the
// first control that takes it the first time, as a dialog box does it.
void Form::KeepFocus(WORD activation) {
    if (activation == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(m_hWnd, focus)) m_hFocus = focus;
        return;
    }
    if (m_hFocus == nullptr || !IsWindow(m_hFocus)) {
        m_hFocus = GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    }
    if (m_hFocus != nullptr) SetFocus(m_hFocus);
}

void Form::PaintBackground(HDC dc) const {
    RECT client{};
    GetClientRect(m_hWnd, &client);
    FillRect(dc, &client, m_hBrush);
    for (RECT frame : m_bevels) DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
}

// Labels, check boxes and pictures are drawn over the form's own colour, as if they had no
// background; a control with a colour of its own keeps it.
LRESULT Form::PaintStaticBackground(HDC dc, HWND child) const {
    const Control* control = ControlById(GetDlgCtrlID(child));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    if (HBRUSH own = control != nullptr ? control->PaintBackground(dc) : nullptr) {
        return reinterpret_cast<LRESULT>(own);
    }
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, m_color);
    return reinterpret_cast<LRESULT>(m_hBrush);
}

// The border width narrows the client area on every side, inside the frame.
LRESULT Form::CalcClientArea(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefWindowProcW(m_hWnd, WM_NCCALCSIZE, wParam, lParam);
    RECT* client = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                          : reinterpret_cast<RECT*>(lParam);
    InflateRect(client, -m_borderWidth, -m_borderWidth);
    return result;
}

void Form::PaintBorderBand() const {
    if (m_borderWidth == 0) return;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT window = WindowBounds(m_hWnd);
    OffsetRect(&client, -window.left, -window.top);
    RECT band = client;
    InflateRect(&band, m_borderWidth, m_borderWidth);
    HDC dc = GetWindowDC(m_hWnd);
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    FillRect(dc, &band, m_hBrush);
    ReleaseDC(m_hWnd, dc);
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
