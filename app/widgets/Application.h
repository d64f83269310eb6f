#pragma once

#include <exception>
#include <string>
#include <vector>

#include "Win32.h"

class Form;

// The application object of our window toolkit: a hidden top-level window that owns the forms,
// the message loop, and the standard box for an error that reaches the toolkit.
class Application {
  public:
    Application(HINSTANCE instance, std::string title);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    ~Application();

    HINSTANCE Instance() const { return m_hInstance; }
    HWND Handle() const { return m_hWnd; }

    // Closing the main form ends the message loop; the main form names itself (FormDesign).
    void SetMainForm(Form& form) { m_pMainForm = &form; }
    const Form* MainForm() const { return m_pMainForm; }

    // Keeps the application's own window off the taskbar.
    void HideWindow() const;
    // The icon that stands for the application in the window system.
    void SetIcon(HICON icon);
    HICON Icon() const { return m_hIcon; }
    // Forms whose keys work as in a dialog box (FormDesign::dialogKeys).
    void AddDialogForm(HWND form) { m_dialogForms.push_back(form); }
    void RemoveDialogForm(HWND form);
    // Dispatches messages until Terminate.
    void Run() const;
    void Terminate() const;

    // The error's text in a modal box captioned with the application's title.
    void ShowException(const std::exception& failure) const;

  private:
    bool TakenByDialogForm(MSG& message) const;

    HINSTANCE m_hInstance;
    std::string m_title;
    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
    Form* m_pMainForm = nullptr;
    std::vector<HWND> m_dialogForms;
};
