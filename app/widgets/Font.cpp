#include "Font.h"

#include "Dpi.h"
#include "WideText.h"

Font::Font(const FontSpec& spec) : m_spec(spec) {
    LOGFONTW design{};
    design.lfHeight = -MulDiv(spec.points, ScreenDpi(), 72);
    design.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    // The system's own character set, so a Korean system finds a face with Hangul for us.
    design.lfCharSet = DEFAULT_CHARSET;
    design.lfQuality = DEFAULT_QUALITY;
    const std::wstring face = Widen(spec.face);
    face.copy(design.lfFaceName, LF_FACESIZE - 1);
    m_hFont = CreateFontIndirectW(&design);
}

Font::~Font() {
    if (m_hFont != nullptr) DeleteObject(m_hFont);
}

int Font::DesignHeight(int points) {
    return MulDiv(points, kDesignDpi, 72);
}
