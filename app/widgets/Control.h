#pragma once

#include <memory>
#include <string>

#include "Font.h"
#include "Win32.h"

class Form;

// Where a control sits on its form, in client pixels of the design (Dpi.h).
struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A child window of a form: the common ground of labels, pictures, buttons, boxes and lists.
// The form hands a control its own notifications (WM_COMMAND) and asks it for its colour.
class Control {
  public:
    Control(Form& parent, const wchar_t* windowClass, DWORD style, const Bounds& bounds);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    HWND Handle() const { return m_hWnd; }
    void SetVisible(bool visible) const;
    bool Visible() const;
    void Show() const { SetVisible(true); }
    void Hide() const { SetVisible(false); }
    void SetEnabled(bool enabled) const;
    // In pixels of the screen.
    void Resize(int width, int height) const;

    // The control's caption or contents.
    void SetText(const std::string& text);
    std::string Text() const;

    void SetFont(const FontSpec& spec);
    void SetFontSize(int points);
    const Font& CurrentFont() const { return *m_pFont; }

    // A colour of the control's own instead of the form's.
    void SetColor(COLORREF color);
    // The brush for the control's background with the DC made ready, or null for the form's.
    HBRUSH PaintBackground(HDC dc) const;

    // A notification code of the control's WM_COMMAND, from its form.
    virtual void Notify(WORD) {}

  protected:
    // After the text or the font changed.
    virtual void Fit() {}

  private:
    Form& m_parent;
    int m_id;
    HWND m_hWnd;
    std::unique_ptr<Font> m_pFont;
    COLORREF m_color = 0;
    HBRUSH m_hBrush = nullptr;
};
