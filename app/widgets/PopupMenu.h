#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Win32.h"

class Form;

struct MenuItemDesign {
    std::string caption;
    bool enabled = true;
    // A radio item shows a bullet when checked; with automatic check a click checks it and
    // unchecks the other radio items of the menu.
    bool radioItem = false;
    bool autoCheck = false;
};

class PopupMenu;

// One entry of a popup menu; a click on it runs its handler.
class MenuItem {
  public:
    MenuItem(PopupMenu& menu, UINT id, const MenuItemDesign& design, std::function<void()> onClick);

    void SetCaption(const std::string& caption);
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_bEnabled; }
    void SetChecked(bool checked);
    bool Checked() const { return m_bChecked; }
    bool RadioItem() const { return m_bRadioItem; }
    UINT Id() const { return m_id; }

    // What a click of the user does.
    void Click();

  private:
    void Apply() const;

    PopupMenu& m_menu;
    UINT m_id;
    std::string m_caption;
    bool m_bEnabled;
    bool m_bChecked = false;
    bool m_bRadioItem;
    bool m_bAutoCheck;
    std::function<void()> m_onClick;
};

// A menu that pops up at a point of the screen, owned by a form. It tracks the left button:
// an item is chosen by a left click or the keyboard.
class PopupMenu {
  public:
    explicit PopupMenu(Form& owner);
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;
    ~PopupMenu();

    HMENU Handle() const { return m_hMenu; }
    MenuItem& Add(const MenuItemDesign& design, std::function<void()> onClick);
    // Shows the menu and runs the chosen item's click before it returns.
    void Popup(int x, int y);
    // Unchecks the radio items other than `checked`.
    void UncheckOtherRadioItems(const MenuItem& checked);

  private:
    Form& m_owner;
    HMENU m_hMenu;
    std::vector<std::unique_ptr<MenuItem>> m_items;
};
