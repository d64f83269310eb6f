#include "Control.h"

#include "Form.h"

Control::Control(Form& parent, const wchar_t* windowClass, DWORD style, const Bounds& bounds)
    : m_hWnd(CreateWindowExW(0, windowClass, L"", WS_CHILD | style, bounds.left, bounds.top,
                             bounds.width, bounds.height, parent.Handle(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(parent.NextControlId())),
                             parent.App().Instance(), nullptr)) {}

Control::~Control() {
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

void Control::SetVisible(bool visible) const {
    ShowWindow(m_hWnd, visible ? SW_SHOWNA : SW_HIDE);
}

bool Control::Visible() const {
    return (GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Control::Resize(int width, int height) const {
    SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
