#include "Application.h"

#include <algorithm>

#include "MessageBox.h"
#include "WideText.h"
#include "resource.h"

namespace {

const wchar_t kApplicationClass[] = L"TApplication";

}  // namespace

Application::Application(HINSTANCE instance, std::string title)
    : m_hInstance(instance), m_title(std::move(title)) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    m_hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUONDORVEL));
    windowClass.hIcon = m_hIcon;
    windowClass.lpszClassName = kApplicationClass;
    RegisterClassExW(&windowClass);
    m_hWnd = CreateWindowExW(0, kApplicationClass, Widen(m_title).c_str(), WS_POPUP, 0, 0, 0, 0,
                             nullptr, nullptr, instance, nullptr);
}

Application::~Application() {
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

void Application::HideWindow() const {
    ShowWindow(m_hWnd, SW_HIDE);
}

void Application::SetIcon(HICON icon) {
    m_hIcon = icon;
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void Application::RemoveDialogForm(HWND form) {
    m_dialogForms.erase(std::remove(m_dialogForms.begin(), m_dialogForms.end(), form),
                        m_dialogForms.end());
}

void Application::Run() const {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TakenByDialogForm(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// IsDialogMessage dispatches every message of the form it takes, keys or not.
bool Application::TakenByDialogForm(MSG& message) const {
    if (message.hwnd == nullptr) return false;
    HWND form = GetAncestor(message.hwnd, GA_ROOT);
    return std::find(m_dialogForms.begin(), m_dialogForms.end(), form) != m_dialogForms.end() &&
           IsDialogMessageW(form, &message) != FALSE;
}

void Application::Terminate() const {
    PostQuitMessage(0);
}

void Application::ShowException(const std::exception& failure) const {
    std::string text = failure.what();
    if (text.empty() || text.back() != '.') text += '.';
    ShowMessageBox(text, m_title, BoxIcon::kError);
}
