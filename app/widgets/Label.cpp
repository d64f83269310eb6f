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
      m_bAutoSize(design.width == 0) {
    SetFont(design.font);
    SetText(design.text);
}

void Label::Fit() {
    if (!m_bAutoSize) return;
    const std::wstring text = Widen(Text());
    HDC dc = GetDC(Handle());
    HGDIOBJ previous = SelectObject(dc, CurrentFont().Handle());
    RECT extent{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, previous);
    ReleaseDC(Handle(), dc);
    Resize(extent.right, extent.bottom);
}
