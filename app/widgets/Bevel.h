#pragma once

#include "Control.h"
#include "Dpi.h"
#include "Form.h"

// A frame around controls that belong together. Like the designer's bevel it is only drawn, on
// its form: a window of its own would hide the form's colour inside it.
class Bevel {
  public:
    Bevel(Form& parent, const Bounds& bounds) {
        parent.AddBevel({Scaled(bounds.left), Scaled(bounds.top),
                         Scaled(bounds.left + bounds.width), Scaled(bounds.top + bounds.height)});
    }
};
