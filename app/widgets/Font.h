#pragma once

#include <string>

#include "Win32.h"

// A font as a form designer states it: face, size in points, bold or not.
struct FontSpec {
    std::string face;
    int points = 10;
    bool bold = false;
};

// Owns the GDI font made from a FontSpec. Sizes are points at the screen's resolution, the way
// the designer saw them.
class Font {
  public:
    explicit Font(const FontSpec& spec);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font();

    HFONT Handle() const { return m_hFont; }
    const FontSpec& Spec() const { return m_spec; }

    // The character height (the em height without internal leading) of a font of this many
    // points on the screen the forms are designed on, for sizes of the design.
    static int DesignHeight(int points);

  private:
    FontSpec m_spec;
    HFONT m_hFont;
};
