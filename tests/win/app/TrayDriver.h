// The tray program driven from outside as its user would: share folders and settings made
// beforehand, the tray icon and its menu clicked with the real mouse, windows read through
// Win32, and a real NFS client (libnfs) on the Linux side.
#pragma once

#include <optional>
#include <string>

#include "GuiSupport.h"
#include "Messages.h"
#include "TestRegistry.h"

namespace apptest {

// The menu's rows.
enum MenuRow : size_t { kStartRow, kStopRow, kSettingsRow, kExitRow, kMenuRows };

// Four folders under the temporary folder, one per share, removed with everything in them.
class ShareFolders {
  public:
    ShareFolders();
    ShareFolders(const ShareFolders&) = delete;
    ShareFolders& operator=(const ShareFolders&) = delete;
    ~ShareFolders();

    std::wstring Path(int n) const;
    void Put(int n, const std::wstring& name, const std::string& content) const;
    // Stores the folders as "SharePath1" to "SharePath4", with "AutoShare".
    void Store(bool autoShare) const;

  private:
    std::wstring m_root;
};

// Why a test that starts sharing cannot run here, or nothing: the program serves on the standard
// ports, and refuses to serve when the machine's first address is the loopback one.
std::optional<std::string> SharingUnavailable();
bool StandardPortsFree();
std::wstring FirstHostAddress();

// A call of the libnfs test client on the standard ports of this machine, against an export.
HostResult Probe(const std::string& exportPath, const std::string& arguments);

// QuonDorvel.exe (from beside the test, or the command) started on the test desktop, with its
// windows and tray icon at hand.
class TrayProgram {
  public:
    explicit TrayProgram(const std::wstring& commandLine = L"");

    const Program& Process() const { return m_program; }
    HWND MainWindow() const { return m_form1; }
    HWND StatusWindow() const { return m_status; }
    bool Started() const { return m_form1 != nullptr && m_status != nullptr; }

    // The menu opened with a button on the tray icon: 1, pressed and released (it opens on the
    // press), or 3 (on the release).
    std::optional<ShownMenu> OpenMenu(int button) const;
    // Opens the menu and clicks the item of that row; false when the menu did not open.
    bool Choose(MenuRow row) const;
    // Closes an open menu without choosing.
    void Dismiss() const;

    // The status window's headline and second line, written one after the other.
    bool WaitForHeadline(MessageKey key, DWORD timeoutMs = 15000) const;
    bool WaitForSecondLine(const std::wstring& text, DWORD timeoutMs = 15000) const;

    // The one shown message box of the program, or null.
    HWND WaitForBox(DWORD timeoutMs = 15000) const;

    // As the registry helper library ends the program; its exit code.
    DWORD CloseAndWait() const;

  private:
    Program m_program;
    mutable int m_nClicks = 0;
    HWND m_form1 = nullptr;
    HWND m_status = nullptr;
};

std::wstring Wide(const std::string& utf8);

}  // namespace apptest
