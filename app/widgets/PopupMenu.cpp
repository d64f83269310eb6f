#include "PopupMenu.h"

#include "Form.h"
#include "WideText.h"

MenuItem::MenuItem(PopupMenu& menu, UINT id, const MenuItemDesign& design,
                   std::function<void()> onClick)
    : m_menu(menu),
      m_id(id),
      m_caption(design.caption),
      m_bEnabled(design.enabled),
      m_bRadioItem(design.radioItem),
      m_bAutoCheck(design.autoCheck),
      m_onClick(std::move(onClick)) {
    std::wstring caption = Widen(m_caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    info.fType = MFT_STRING | (m_bRadioItem ? MFT_RADIOCHECK : 0);
    info.wID = m_id;
    info.dwTypeData = caption.data();
    InsertMenuItemW(m_menu.Handle(), GetMenuItemCount(m_menu.Handle()), TRUE, &info);
    Apply();
}

void MenuItem::SetCaption(const std::string& caption) {
    m_caption = caption;
    Apply();
}

void MenuItem::SetEnabled(bool enabled) {
    m_bEnabled = enabled;
    Apply();
}

void MenuItem::SetChecked(bool checked) {
    m_bChecked = checked;
    if (checked && m_bRadioItem) m_menu.UncheckOtherRadioItems(*this);
    Apply();
}

void MenuItem::Click() {
    if (m_bAutoCheck) SetChecked(m_bRadioItem ? true : !m_bChecked);
    m_onClick();
}

void MenuItem::Apply() const {
    std::wstring caption = Widen(m_caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_STRING;
    info.fState = (m_bEnabled ? MFS_ENABLED : MFS_DISABLED) | (m_bChecked ? MFS_CHECKED : 0);
    info.dwTypeData = caption.data();
    SetMenuItemInfoW(m_menu.Handle(), m_id, FALSE, &info);
}

PopupMenu::PopupMenu(Form& owner) : m_owner(owner), m_hMenu(CreatePopupMenu()) {}

PopupMenu::~PopupMenu() {
    DestroyMenu(m_hMenu);
}

MenuItem& PopupMenu::Add(const MenuItemDesign& design, std::function<void()> onClick) {
    const UINT id = static_cast<UINT>(m_items.size()) + 1;
    m_items.push_back(std::make_unique<MenuItem>(*this, id, design, std::move(onClick)));
    return *m_items.back();
}

// The owner comes to the foreground first and gets a message afterwards: without both, a menu
// opened from the notification area would not close when the user clicks elsewhere.
void PopupMenu::Popup(int x, int y) {
    SetForegroundWindow(m_owner.Handle());
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        m_hMenu, TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, m_owner.Handle(), nullptr));
    PostMessageW(m_owner.Handle(), WM_NULL, 0, 0);
    if (chosen >= 1 && chosen <= m_items.size()) m_items[chosen - 1]->Click();
}

void PopupMenu::UncheckOtherRadioItems(const MenuItem& checked) {
    for (const auto& item : m_items) {
        if (item.get() != &checked && item->RadioItem() && item->Checked()) item->SetChecked(false);
    }
}
