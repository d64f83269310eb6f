#include "ComboBox.h"

#include "WideText.h"

namespace {

// The window of a drop-down list is as tall as the box and its open list together.
Bounds WithList(const ComboBoxDesign& design, int rowHeight) {
    Bounds bounds = design.bounds;
    bounds.height = design.bounds.height + design.visibleRows * rowHeight + 2;
    return bounds;
}

int RowHeight(const FontSpec& font) {
    return Font::DesignHeight(font.points) + 4;
}

}  // namespace

ComboBox::ComboBox(Form& parent, const ComboBoxDesign& design, std::function<void()> onSelect)
    : Control(parent, L"COMBOBOX", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
              WithList(design, RowHeight(design.font))),
      m_onSelect(std::move(onSelect)) {
    SetFont(design.font);
}

void ComboBox::Clear() const {
    SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
}

void ComboBox::Add(const std::string& text) const {
    SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

int ComboBox::Count() const {
    return static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0));
}

int ComboBox::ItemIndex() const {
    return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

void ComboBox::SetItemIndex(int index) const {
    SendMessageW(Handle(), CB_SETCURSEL, index, 0);
}

std::string ComboBox::Item(int index) const {
    const LRESULT length = SendMessageW(Handle(), CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::wstring text(length + 1, L'\0');
    SendMessageW(Handle(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return Narrow(text);
}

void ComboBox::Notify(WORD code) {
    if (code == CBN_SELCHANGE) m_onSelect();
}
