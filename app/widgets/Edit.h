#pragma once

#include "Control.h"

struct EditDesign {
    Bounds bounds;
    FontSpec font;
    COLORREF color = RGB(0xFF, 0xFF, 0xFF);
    int maxLength = 0;  // characters; 0 for the system's limit
};

// A one-line text box that shows a text the user cannot change by typing.
class Edit : public Control {
  public:
    Edit(Form& parent, const EditDesign& design);
};
