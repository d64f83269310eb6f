#pragma once

#include "Win32.h"

class Form;

// Where a control sits on its form, in client pixels.
struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A child window of a form: the common ground of labels, pictures and the controls to come.
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
    void Resize(int width, int height) const;

  private:
    HWND m_hWnd;
};
