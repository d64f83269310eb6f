#include "Control.h"

#include "Dpi.h"
#include "Form.h"
#include "WideText.h"

Control::Control(Form& parent, const wchar_t* windowClass, DWORD style, const Bounds& bounds)
    : m_parent(parent),
      m_id(parent.AddControl(*this)),
      m_hWnd(CreateWindowExW(0, windowClass, L"", WS_CHILD | style, Scaled(bounds.left),
                             Scaled(bounds.top), Scaled(bounds.width), Scaled(bounds.height),
                             parent.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_id)),
                             parent.App().Instance(), nullptr)) {}

Control::~Control() {
    m_parent.RemoveControl(m_id);
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
    if (m_hBrush != nullptr) DeleteObject(m_hBrush);
}

void Control::SetVisible(bool visible) const {
    ShowWindow(m_hWnd, visible ? SW_SHOWNA : SW_HIDE);
}

bool Control::Visible() const {
    return (GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Control::SetEnabled(bool enabled) const {
    EnableWindow(m_hWnd, enabled ? TRUE : FALSE);
}

void Control::Resize(int width, int height) const {
    SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetText(const std::string& text) {
    SetWindowTextW(m_hWnd, Widen(text).c_str());
    Fit();
}

std::string Control::Text() const {
    std::wstring text(GetWindowTextLengthW(m_hWnd) + 1, L'\0');
    text.resize(GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size())));
    return Narrow(text);
}

void Control::SetFont(const FontSpec& spec) {
    auto font = std::make_unique<Font>(spec);
    SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font->Handle()), TRUE);
    m_pFont = std::move(font);
    Fit();
}

void Control::SetFontSize(int points) {
    if (points == m_pFont->Spec().points) return;
    FontSpec spec = m_pFont->Spec();
    spec.points = points;
    SetFont(spec);
}

void Control::SetColor(COLORREF color) {
    if (m_hBrush != nullptr) DeleteObject(m_hBrush);
    m_color = color;
    m_hBrush = CreateSolidBrush(color);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

HBRUSH Control::PaintBackground(HDC dc) const {
    if (m_hBrush == nullptr) return nullptr;
    SetBkColor(dc, m_color);
    return m_hBrush;
}
