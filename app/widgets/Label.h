#pragma once

#include <string>

#include "Control.h"

struct LabelDesign {
    int left = 0;
    int top = 0;
    // A label without a size takes the size of its text, and follows it when text or font change.
    int width = 0;
    int height = 0;
    bool wordWrap = false;
    FontSpec font;
    std::string text;
};

// A text on a form, drawn over the form's colour.
class Label : public Control {
  public:
    Label(Form& parent, const LabelDesign& design);

  private:
    void Fit() override;

    bool m_bAutoSize;
};
