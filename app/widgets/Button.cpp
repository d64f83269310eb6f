#include "Button.h"

#include "Form.h"

namespace {

Bounds WithHeight(Bounds bounds, int height) {
    if (bounds.height == 0) bounds.height = height;
    return bounds;
}

}  // namespace

Button::Button(Form& parent, const ButtonDesign& design, std::function<void()> onClick)
    : Control(parent, L"BUTTON",
              WS_VISIBLE | WS_TABSTOP |
                  (design.role == ButtonRole::kDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
              WithHeight(design.bounds, 25)),
      m_onClick(std::move(onClick)) {
    SetFont(design.font);
    SetText(design.caption);
    if (design.role == ButtonRole::kDefault) parent.SetDefaultButton(*this);
    if (design.role == ButtonRole::kCancel) parent.SetCancelButton(*this);
}

void Button::Notify(WORD code) {
    if (code == BN_CLICKED) m_onClick();
}

CheckBox::CheckBox(Form& parent, const ButtonDesign& design, std::function<void()> onClick)
    : Control(parent, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
              WithHeight(design.bounds, 17)),
      m_onClick(std::move(onClick)) {
    SetFont(design.font);
    SetText(design.caption);
}

bool CheckBox::Checked() const {
    return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
    if (checked == Checked()) return;
    SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    m_onClick();
}

void CheckBox::Notify(WORD code) {
    if (code == BN_CLICKED) m_onClick();
}
