#pragma once

#include "Control.h"
#include "Form.h"

// A frame around controls that belong together. Like the designer's bevel it is only drawn, on
// its form: a window of its own would hide the form's colour inside it.
class Bevel {
  public:
    Bevel(Form& parent, const Bounds& bounds) {
        parent.AddBevel(
            {bounds.left, bounds.top, bounds.left + bounds.width, bounds.top + bounds.height});
    }
};
