#pragma once

#include <memory>
#include <string>

#include "Control.h"
#include "Font.h"

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

    void SetText(const std::string& text);
    std::string Text() const;
    void SetFontSize(int points);
    const Font& CurrentFont() const { return *m_pFont; }

  private:
    void FitToText() const;

    bool m_bAutoSize;
    std::unique_ptr<Font> m_pFont;
};
