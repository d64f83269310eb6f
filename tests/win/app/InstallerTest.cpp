// QuonDorvel-Setup.exe as an administrator runs it, in a Wine prefix no other test has touched
// (fresh-prefix.sh; QDV_SETUP names the installer, and with QDV_WINDOWS_XP set the installer,
// its uninstaller and the program are told they run on Windows XP, so both firewall contexts
// are met): a silent installation, the auto-run command the Configuration
// dialog then writes, an update through the pages over the running program, a silent one, one
// that cannot write a file, and a silent uninstallation that keeps the user's settings.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <fstream>

#include "TrayDriver.h"
#include "WideText.h"

namespace {

using namespace apptest;

constexpr DWORD kSetupMs = 60000;
const wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuonDorvel";

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

// Program Files (x86) for us, as for the installer: both are 32-bit programs.
std::wstring InstallFolder() {
    return Folder(CSIDL_PROGRAM_FILES) + L"\\Quon\\Dorvel";
}

std::wstring Installed(const wchar_t* name) {
    return InstallFolder() + L"\\" + name;
}

bool OnWindowsXp() {
    return std::getenv("QDV_WINDOWS_XP") != nullptr;
}

// Wine tells a program the version of Windows its settings name for that program's file name.
void PlayWindowsXp() {
    for (const wchar_t* program :
         {L"QuonDorvel-Setup.exe", L"QuonDorvelUninstall.exe", L"QuonDorvel.exe"}) {
        PutText((std::wstring(L"Software\\Wine\\AppDefaults\\") + program).c_str(), L"Version",
                L"winxp64");
    }
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring SetupCommand() {
    std::wstring path = L"Z:" + Widen(std::getenv("QDV_SETUP"));
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    return Quoted(path);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD RunToEnd(const std::wstring& commandLine) {
    return Program(commandLine).WaitForExit(kSetupMs);
}

std::optional<std::wstring> Entry(const wchar_t* name) {
    const std::optional<StoredValue> value = ReadValue(kUninstallKey, name, HKEY_LOCAL_MACHINE);
    if (!value) return std::nullopt;
    return value->type == REG_DWORD ? std::to_wstring(value->Number()) : value->Text();
}

DWORD FolderKilobytes() {
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((InstallFolder() + L"\\*").c_str(), &entry);
    DWORD bytes = 0;
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &entry)) {
        bytes += entry.nFileSizeLow;
    }
    FindClose(find);
    return bytes / 1024;
}

std::wstring ShortcutTarget() {
    const std::wstring link = Folder(CSIDL_COMMON_PROGRAMS) + L"\\Quon Dorvel.lnk";
    wchar_t target[MAX_PATH] = {};
    CoInitialize(nullptr);
    IShellLinkW* shortcut = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shortcut)))) {
        if (SUCCEEDED(
                shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
            shortcut->GetPath(target, MAX_PATH, nullptr, 0);
        }
        if (file != nullptr) file->Release();
        shortcut->Release();
    }
    CoUninitialize();
    return target;
}

// The command lines the installer gave netsh since the last look (the prefix's netsh records
// them beside itself).
std::vector<std::string> NetshCalls() {
    const std::wstring log = Folder(CSIDL_SYSTEM) + L"\\netsh.exe.log";
    std::vector<std::string> calls;
    std::ifstream file(log.c_str());
    for (std::string line; std::getline(file, line);) calls.push_back(line);
    file.close();
    DeleteFileW(log.c_str());
    return calls;
}

// Inbound rules for the local subnet: per program since Vista, per port on XP.
std::vector<std::string> FirewallCalls(bool installing) {
    const std::string netsh = "\"" + Narrow(Folder(CSIDL_SYSTEM)) + "\\netsh.exe\" ";
    const std::string rule = " name=\"Quon Dorvel\"";
    std::vector<std::string> calls;
    if (!OnWindowsXp()) {
        calls.push_back(netsh + "advfirewall firewall delete rule" + rule);
        for (const char* protocol : {"TCP", "UDP"}) {
            if (!installing) break;
            calls.push_back(netsh + "advfirewall firewall add rule" + rule +
                            " dir=in action=allow program=\"" +
                            Narrow(Installed(L"QuonDorvel.exe")) + "\" protocol=" + protocol +
                            " localport=111,2049,1058 remoteip=localsubnet");
        }
        return calls;
    }
    const char* const ports[] = {"111", "2049", "1058"};
    for (const char* port : ports) {
        calls.push_back(netsh + "firewall delete portopening protocol=ALL port=" + port +
                        " profile=ALL");
    }
    for (const char* port : ports) {
        if (!installing) break;
        calls.push_back(netsh + "firewall add portopening protocol=ALL port=" + port +
                        " name=\"Quon Dorvel " + port + "\" mode=ENABLE scope=SUBNET profile=ALL");
    }
    return calls;
}

void ExpectInstalled() {
    for (const wchar_t* name : {L"QuonDorvel.exe", L"CorvaneReg.dll", L"Uninstall.exe"}) {
        EXPECT_TRUE(Exists(Installed(name))) << Narrow(name);
    }
    EXPECT_EQ(ReadValue(kDorvelKey, L"SetupDir")->Text(), InstallFolder());
    EXPECT_EQ(ShortcutTarget(), Installed(L"QuonDorvel.exe"));
    EXPECT_EQ(Entry(L"DisplayName"), L"Quon Dorvel");
    EXPECT_EQ(Entry(L"DisplayVersion"), L"2.1.0.1");
    EXPECT_EQ(Entry(L"Publisher"), L"Quon");
    EXPECT_EQ(Entry(L"DisplayIcon"), Installed(L"QuonDorvel.exe") + L",0");
    EXPECT_EQ(Entry(L"UninstallString"), Quoted(Installed(L"Uninstall.exe")));
    EXPECT_NEAR(std::stoul(Entry(L"EstimatedSize").value_or(L"0")), FolderKilobytes(), 4);
    EXPECT_EQ(NetshCalls(), FirewallCalls(true));
}

// The process whose main window the tray program's closers look for; 0 when none runs.
DWORD RunningCopy() {
    DWORD id = 0;
    GetWindowThreadProcessId(FindWindowW(L"TForm1", L"DorvelMainForm"), &id);
    return id;
}

bool RunsAgain(DWORD before) {
    return PumpUntil([before] { return RunningCopy() != 0 && RunningCopy() != before; }, kSetupMs);
}

// A shown control of the window whose text begins so.
bool WaitForChildText(HWND window, const std::wstring& text) {
    return PumpUntil(
        [&] {
            for (const ChildWindow& child : Children(window)) {
                if (child.text.rfind(text, 0) == 0 && child.Visible()) return true;
            }
            return false;
        },
        kSetupMs);
}

// Once the page shows its text, drawn in full.
void ShotOfPage(HWND window, const std::wstring& text, const char* page) {
    ASSERT_TRUE(WaitForChildText(window, text));
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Screenshot(std::string("installer-") + page + "-" + RunName());
}

// Next, Install and Finish are the same button of the installer's window.
void PressNext(HWND window) {
    PostMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
}

void UpdateThroughThePages(DWORD running) {
    const Program setup(SetupCommand());
    const HWND window = WaitForWindow(setup.Id(), L"#32770", true, kSetupMs);
    ASSERT_NE(window, nullptr);
    ShotOfPage(window, KoreanRun() ? L"\uC774 \uD504\uB85C\uADF8\uB7A8\uC740" : L"Setup will guide",
               "welcome");
    PressNext(window);
    ShotOfPage(window, InstallFolder(), "folder");
    PressNext(window);
    ShotOfPage(window,
               KoreanRun() ? L"QuonDorvel \uC9C0\uAE08 \uC2E4\uD589" : L"Run QuonDorvel now",
               "finish");
    EXPECT_NE(RunningCopy(), running);
    PressNext(window);
    EXPECT_EQ(setup.WaitForExit(kSetupMs), 0u);
    EXPECT_TRUE(RunsAgain(running));
}

TEST(Installer, InstallsUpdatesOverTheRunningProgramAndUninstallsKeepingTheSettings) {
    if (std::getenv("QDV_SETUP") == nullptr) GTEST_SKIP() << "runs in a prefix of its own";
    if (OnWindowsXp()) PlayWindowsXp();
    const ShareFolders shares;
    shares.Store(false);
    ASSERT_EQ(RunToEnd(SetupCommand() + L" /S"), 0u);
    ExpectInstalled();

    const TrayProgram first(Quoted(Installed(L"QuonDorvel.exe")));
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(first.Choose(kSettingsRow));
    const HWND dialog = WaitForWindow(first.Process().Id(), L"QDV_Setting", true, kSetupMs);
    ASSERT_NE(dialog, nullptr);
    const std::vector<ChildWindow> controls = Children(dialog);
    ASSERT_TRUE(ChildAt(controls, 16, 48) != nullptr && ChildAt(controls, 216, 452) != nullptr);
    PostMessageW(ChildAt(controls, 16, 48)->handle, BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil(
        [] {
            const std::optional<StoredValue> run = ReadValue(kRunKey, L"QuonDorvel");
            return run && run->Text() == Quoted(Installed(L"QuonDorvel.exe"));
        },
        kSetupMs));
    PostMessageW(ChildAt(controls, 216, 452)->handle, BM_CLICK, 0, 0);

    UpdateThroughThePages(first.Process().Id());
    ExpectInstalled();
    DWORD running = RunningCopy();
    EXPECT_EQ(RunToEnd(SetupCommand() + L" /S"), 0u);
    EXPECT_TRUE(RunsAgain(running));
    running = RunningCopy();
    const HANDLE held = CreateFileW(Installed(L"CorvaneReg.dll").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RunToEnd(SetupCommand() + L" /S"), 2u) << "a file it could not write";
    CloseHandle(held);
    EXPECT_TRUE(RunsAgain(running)) << "what it closed comes back";
    NetshCalls();

    // As an administrator's script does, the uninstaller runs from a copy and is waited for.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring uninstaller = std::wstring(temp) + L"QuonDorvelUninstall.exe";
    ASSERT_TRUE(CopyFileW(Installed(L"Uninstall.exe").c_str(), uninstaller.c_str(), FALSE));
    EXPECT_EQ(RunToEnd(Quoted(uninstaller) + L" /S _?=" + InstallFolder()), 0u);
    DeleteFileW(uninstaller.c_str());
    EXPECT_EQ(RunningCopy(), 0u);
    EXPECT_FALSE(Exists(InstallFolder()));
    EXPECT_EQ(ShortcutTarget(), L"");
    EXPECT_FALSE(Entry(L"DisplayName"));
    EXPECT_FALSE(ReadValue(kDorvelKey, L"SetupDir"));
    EXPECT_FALSE(ReadValue(kRunKey, L"QuonDorvel"));
    EXPECT_EQ(ReadValue(kDorvelKey, L"SharePath1")->Text(), shares.Path(1));
    EXPECT_EQ(NetshCalls(), FirewallCalls(false));
}

}  // namespace
