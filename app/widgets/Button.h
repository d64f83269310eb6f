#pragma once

#include <functional>
#include <string>

#include "Control.h"

// The button Enter presses in a form with dialog keys, and the one Esc presses.
enum class ButtonRole { kPlain, kDefault, kCancel };

struct ButtonDesign {
    Bounds bounds;
    std::string caption;
    FontSpec font;
    ButtonRole role = ButtonRole::kPlain;
};

// A push button; a click runs its handler.
class Button : public Control {
  public:
    Button(Form& parent, const ButtonDesign& design, std::function<void()> onClick);

    void Notify(WORD code) override;

  private:
    std::function<void()> m_onClick;
};

// A check box that ticks itself when clicked and then runs its handler. Setting it from code
// runs the handler too whenever the state changes, exactly as a click would.
class CheckBox : public Control {
  public:
    CheckBox(Form& parent, const ButtonDesign& design, std::function<void()> onClick);

    bool Checked() const;
    void SetChecked(bool checked);
    void Notify(WORD code) override;

  private:
    std::function<void()> m_onClick;
};
