#include "Label.h"

#include "WideText.h"

namespace {

DWORD LabelStyle(const LabelDesign& design) {
    return WS_VISIBLE | SS_NOPREFIX | (design.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
}

}  // namespace

Label::Label(Form& parent, const LabelDesign& design)
    : Control(parent, L"STATIC", LabelStyle(design),
              {design.left, design.top, design.width, design.height}),
      m_bAutoSize(design.width == 0),
      m_pFont(std::make_unique<Font>(design.font)) {
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(m_pFont->Handle()), FALSE);
    SetText(design.text);
}

void Label::SetText(const std::string& text) {
    SetWindowTextW(Handle(), Widen(text).c_str());
    FitToText();
}

std::string Label::Text() const {
    std::wstring text(GetWindowTextLengthW(Handle()) + 1, L'\0');
    text.resize(GetWindowTextW(Handle(), text.data(), static_cast<int>(text.size())));
    return Narrow(text);
}

void Label::SetFontSize(int points) {
    if (points == m_pFont->Spec().points) return;
    FontSpec spec = m_pFont->Spec();
    spec.points = points;
    auto font = std::make_unique<Font>(spec);
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font->Handle()), TRUE);
    m_pFont = std::move(font);
    FitToText();
}

void Label::FitToText() const {
    if (!m_bAutoSize) return;
    const std::wstring text = Widen(Text());
    HDC dc = GetDC(Handle());
    HGDIOBJ previous = SelectObject(dc, m_pFont->Handle());
    RECT extent{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, previous);
    ReleaseDC(Handle(), dc);
    Resize(extent.right, extent.bottom);
}
