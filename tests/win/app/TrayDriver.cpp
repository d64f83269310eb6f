#include "TrayDriver.h"

#include <winsock2.h>

#include "WideText.h"

namespace apptest {

namespace {

constexpr DWORD kAppearMs = 15000;
constexpr DWORD kExitMs = 10000;
const char kNfsPorts[] = "127.0.0.1 1058 2049";

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// Whether a socket of that kind can take the port on every address right now.
bool CanBind(int type, u_short port) {
    SOCKET probe = socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    const bool bound = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closesocket(probe);
    return bound;
}

class Winsock {
  public:
    Winsock() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~Winsock() { WSACleanup(); }
};

}  // namespace

std::wstring Wide(const std::string& utf8) {
    return Widen(utf8);
}

ShareFolders::ShareFolders() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_root = std::wstring(temp) + L"qdv-shares-" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(m_root);
    CreateDirectoryW(m_root.c_str(), nullptr);
    for (int n = 1; n <= 4; ++n) CreateDirectoryW(Path(n).c_str(), nullptr);
}

ShareFolders::~ShareFolders() {
    RemoveTree(m_root);
}

std::wstring ShareFolders::Path(int n) const {
    return m_root + L"\\share" + std::to_wstring(n);
}

void ShareFolders::Put(int n, const std::wstring& name, const std::string& content) const {
    const HANDLE file = CreateFileW((Path(n) + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

void ShareFolders::Store(bool autoShare) const {
    for (int n = 1; n <= 4; ++n) {
        PutText(kDorvelKey, (L"SharePath" + std::to_wstring(n)).c_str(), Path(n));
    }
    PutNumber(kOptionsKey, L"AutoShare", autoShare ? 1 : 0);
}

bool StandardPortsFree() {
    const Winsock winsock;
    for (u_short port : {111, 2049, 1058}) {
        if (!CanBind(SOCK_STREAM, port) || !CanBind(SOCK_DGRAM, port)) return false;
    }
    return true;
}

std::wstring FirstHostAddress() {
    const Winsock winsock;
    char name[256] = {};
    gethostname(name, sizeof name);
    const hostent* host = gethostbyname(name);
    if (host == nullptr || host->h_addr_list[0] == nullptr) return L"";
    return Widen(inet_ntoa(*reinterpret_cast<const in_addr*>(host->h_addr_list[0])));
}

std::optional<std::string> SharingUnavailable() {
    if (!StandardPortsFree()) return "another program holds a port of 111, 2049 and 1058";
    const std::wstring first = FirstHostAddress();
    if (first.empty() || first == L"127.0.0.1") return "this machine has no network address";
    return std::nullopt;
}

HostResult Probe(const std::string& exportPath, const std::string& arguments) {
    return RunOnHost("\"$QDV_PROBE\" " + std::string(kNfsPorts) + " " + exportPath + " " +
                     arguments);
}

TrayProgram::TrayProgram(const std::wstring& commandLine) : m_program(commandLine) {
    m_form1 = WaitForWindow(m_program.Id(), L"TForm1", false, kAppearMs);
    m_status = WaitForWindow(m_program.Id(), L"TForm_Status", false, kAppearMs);
    // The icon is in the notification area once the status window is up.
    WaitForTrayPicture(TrayPicture::kOff, kAppearMs);
}

// Two presses on one spot in quick succession make a double click, which opens no menu: the
// clicks alternate between two points of the icon.
std::optional<ShownMenu> TrayProgram::OpenMenu(int button) const {
    const RECT icon = TrayIconBounds();
    const LONG aside = m_nClicks++ % 2 == 0 ? -4 : 4;
    if (!ClickAt({(icon.left + icon.right) / 2 + aside, (icon.top + icon.bottom) / 2}, button)) {
        return std::nullopt;
    }
    return WaitForMenu(m_program.Id(), kMenuRows, kAppearMs);
}

bool TrayProgram::Choose(MenuRow row) const {
    const std::optional<ShownMenu> menu = OpenMenu(1);
    if (!menu) return false;
    const HWND window = menu->window;
    return ClickAt(menu->RowCentre(row), 1) &&
           PumpUntil([&] { return !IsWindowVisible(window); }, kAppearMs);
}

// The menu's loop reads the keys from its thread's queue, wherever the X server's focus is.
void TrayProgram::Dismiss() const {
    for (HWND menu : WindowsOf(m_program.Id(), L"#32768", true)) {
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    PumpUntil([this] { return WindowsOf(m_program.Id(), L"#32768", true).empty(); }, kAppearMs);
}

bool TrayProgram::WaitForHeadline(MessageKey key, DWORD timeoutMs) const {
    return WaitForTextAt(m_status, 20, 8, Widen(MessageTable(key)), timeoutMs);
}

bool TrayProgram::WaitForSecondLine(const std::wstring& text, DWORD timeoutMs) const {
    return WaitForTextAt(m_status, 20, 184, text, timeoutMs);
}

HWND TrayProgram::WaitForBox(DWORD timeoutMs) const {
    return WaitForWindow(m_program.Id(), L"#32770", true, timeoutMs);
}

DWORD TrayProgram::CloseAndWait() const {
    SendMessageW(m_form1, WM_CLOSE, 0, 0);
    return m_program.WaitForExit(kExitMs);
}

}  // namespace apptest
