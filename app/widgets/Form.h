#pragma once

#include <string>
#include <vector>

#include "Application.h"
#include "Win32.h"

class Control;
class Timer;

enum class FormBorder {
    kNone,        // a bare rectangle, no caption
    kToolWindow,  // a thin caption without any buttons, and no taskbar button
    kSingle,      // a caption with the close button, fixed size
};

// What the form designer fixed for a form. Positions and sizes are pixels of the design (Dpi.h).
struct FormDesign {
    std::string className;  // the window class, by which other programs find the form
    std::string caption;
    int left = 0;
    int top = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    // Given instead of the client size: the size of the whole window, frame included.
    int outerWidth = 0;
    int outerHeight = 0;
    // A band of the form's colour inside the frame, around the client area.
    int borderWidth = 0;
    FormBorder border = FormBorder::kNone;
    COLORREF color = RGB(0xF0, 0xF0, 0xF0);
    BYTE alpha = 255;  // 255: opaque
    bool stayOnTop = false;
    // Centred on the monitor of the main form the first time it is shown.
    bool screenCentre = false;
    // Showing makes it the active window, for the keyboard; reports are shown without that.
    bool activateOnShow = false;
    // Keys as in a dialog box: Tab moves among the controls, Enter presses the focused push
    // button or else the default one, Esc the cancel button.
    bool dialogKeys = false;
    // The application's main form: closing it ends the program. It is that from its first
    // message on, so a close message that comes while it is still being built counts too.
    bool mainForm = false;
};

// Delphi's clSkyBlue, the colour of all our forms.
constexpr COLORREF kSkyBlue = RGB(0xA6, 0xCA, 0xF0);

// A top-level window of ours, owned by the application's window. Derived forms declare their
// controls as members, which the form's window already exists for when they are built.
class Form {
  public:
    Form(Application& application, const FormDesign& design);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    HWND Handle() const { return m_hWnd; }
    Application& App() const { return m_application; }

    // The toolkit's show: makes a hidden form visible (running FormShow first, then centring it
    // the first time when designed so) and brings the form to the front either way.
    void Show();
    void Hide() const;
    bool Visible() const;
    // Runs FormClose and hides the form; closing the main form also ends the application's
    // message loop. A close message from outside does the same.
    void Close();

    void SetCaption(const std::string& caption) const;
    // In pixels of the screen.
    void MoveTo(int left, int top) const;
    // There, or as near as keeps the form whole inside the work area of the screen it lands on.
    void MoveInsideWorkArea(int left, int top) const;
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;

    // Controls and timers sign in with their form, which gives each its id.
    int AddControl(Control& control);
    // A frame the form draws on itself, around controls that belong together.
    void AddBevel(const RECT& frame) { m_bevels.push_back(frame); }
    void RemoveControl(int id);
    UINT_PTR AddTimer(Timer& timer);
    void RemoveTimer(UINT_PTR id);
    // The buttons the keys of a dialog press.
    void SetDefaultButton(Control& button) { m_pDefaultButton = &button; }
    void SetCancelButton(Control& button) { m_pCancelButton = &button; }

  protected:
    // Runs each time the form goes from hidden to visible, before it is drawn.
    virtual void FormShow() {}
    // Runs each time the form is closed, before it hides.
    virtual void FormClose() {}
    // Messages of the form's own (WM_APP and up); true when handled.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintBackground(HDC dc) const;
    LRESULT PaintStaticBackground(HDC dc, HWND child) const;
    Control* ControlById(int id) const;
    LRESULT DefaultButtonId() const;
    bool PressKeyButton(WORD id) const;
    void KeepFocus(WORD activation);
    LRESULT CalcClientArea(WPARAM wParam, LPARAM lParam);
    void PaintBorderBand() const;
    void CentreOnMainMonitor() const;

    Application& m_application;
    COLORREF m_color;
    HBRUSH m_hBrush;
    bool m_bScreenCentre;
    bool m_bActivateOnShow;
    int m_borderWidth;
    bool m_bDialogKeys;
    bool m_bShownBefore = false;
    std::vector<Control*> m_controls;  // indexed by control id - kFirstControlId
    Control* m_pDefaultButton = nullptr;
    Control* m_pCancelButton = nullptr;
    HWND m_hFocus = nullptr;       // the control that had the focus when the form was last active
    std::vector<Timer*> m_timers;  // indexed by timer id - 1
    std::vector<RECT> m_bevels;
    HWND m_hWnd = nullptr;
};
