// QuonDorvel-Setup.exe (QDV_SETUP) as an administrator runs it, in a Wine prefix no other test
// has touched (fresh-prefix.sh). With QDV_WINDOWS_XP set, Wine tells the installer, its
// uninstaller and the program that they run on Windows XP, whose firewall differs.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "TrayDriver.h"
#include "WideText.h"

namespace {

using namespace apptest;

constexpr DWORD kSetupMs = 60000;
const wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuonDorvel";
const bool kOnXp = std::getenv("QDV_WINDOWS_XP") != nullptr;

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

// Program Files (x86) for us as for the installer: both are 32-bit programs.
const std::wstring kFolder = Folder(CSIDL_PROGRAM_FILES) + L"\\Quon\\Dorvel";
const std::wstring kProgram = kFolder + L"\\QuonDorvel.exe";
const std::wstring kShortcut = Folder(CSIDL_COMMON_PROGRAMS) + L"\\Quon Dorvel.lnk";
const std::wstring kNetshLog = Folder(CSIDL_SYSTEM) + L"\\netsh.exe.log";

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring SetupExe() {
    return Quoted(Widen(std::getenv("QDV_SETUP")));
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD RunToEnd(const std::wstring& commandLine) {
    return Program(commandLine).WaitForExit(kSetupMs);
}

std::wstring Entry(const wchar_t* name) {
    return ReadValue(kUninstallKey, name, HKEY_LOCAL_MACHINE).value_or(StoredValue{}).Text();
}

// How many of the command lines netsh was given since the last look hold the text; all are
// printed. The prefix's netsh records them, since Wine's does nothing.
size_t NetshCalls(const char* holding) {
    std::ifstream log(kNetshLog.c_str());
    size_t calls = 0;
    for (std::string call; std::getline(log, call);
         std::printf("netsh was run: %s\n", call.c_str())) {
        calls += call.find(holding) != std::string::npos;
    }
    log.close();
    DeleteFileW(kNetshLog.c_str());
    return calls;
}

void ExpectInstalled() {
    EXPECT_TRUE(Exists(kProgram) && Exists(kFolder + L"\\CorvaneReg.dll") &&
                Exists(kFolder + L"\\Uninstall.exe") && Exists(kShortcut));
    EXPECT_EQ(ReadValue(kDorvelKey, L"SetupDir")->Text(), kFolder);
    EXPECT_EQ(
        Entry(L"DisplayName") + L"|" + Entry(L"DisplayVersion") + L"|" + Entry(L"Publisher") +
            L"|" + Entry(L"DisplayIcon") + L"|" + Entry(L"UninstallString"),
        L"Quon Dorvel|2.1.0.1|Quon|" + kProgram + L",0|" + Quoted(kFolder + L"\\Uninstall.exe"));
    EXPECT_GT(ReadValue(kUninstallKey, L"EstimatedSize", HKEY_LOCAL_MACHINE)->Number(), 0u);
    // Inbound rules for the local subnet only: per program since Vista (TCP, UDP), per port on XP.
    EXPECT_EQ(NetshCalls(kOnXp ? " mode=ENABLE scope=SUBNET profile=ALL"
                               : " localport=111,2049,1058 remoteip=localsubnet"),
              kOnXp ? 3u : 2u);
}

// The process of the main window the closers look for; 0 when none runs.
DWORD RunningCopy() {
    DWORD id = 0;
    GetWindowThreadProcessId(FindWindowW(L"TForm1", L"DorvelMainForm"), &id);
    return id;
}

bool RunsAgain(DWORD before) {
    return PumpUntil([before] { return RunningCopy() != 0 && RunningCopy() != before; }, kSetupMs);
}

// Once the page shows a control whose text begins so: its picture, drawn in full, then Next
// (Install and Finish are the same button).
void PageThenNext(HWND window, const std::wstring& text, const char* page) {
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (const ChildWindow& child : Children(window)) {
                if (child.Visible() && child.text.rfind(text, 0) == 0) return true;
            }
            return false;
        },
        kSetupMs));
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Screenshot(std::string("installer-") + page + "-" + RunName());
    PostMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
}

// Silent, then the auto-run command the Configuration dialog writes; through the pages over the
// running program; silent with a file held open; a silent uninstallation.
TEST(Installer, InstallsUpdatesOverTheRunningProgramAndUninstallsKeepingTheSettings) {
    if (std::getenv("QDV_SETUP") == nullptr) GTEST_SKIP() << "runs in a prefix of its own";
    // Wine tells a program the version of Windows its settings name for the program's file name.
    for (const std::wstring name : {L"-Setup.exe", L"Uninstall.exe", L".exe"}) {
        if (kOnXp)
            PutText((L"Software\\Wine\\AppDefaults\\QuonDorvel" + name).c_str(), L"Version",
                    L"winxp64");
    }
    const ShareFolders shares;
    shares.Store(false);
    ASSERT_EQ(RunToEnd(SetupExe() + L" /S"), 0u);
    ExpectInstalled();

    const TrayProgram first(Quoted(kProgram));
    ASSERT_TRUE(first.Started() && first.Choose(kSettingsRow));
    const HWND dialog = WaitForWindow(first.Process().Id(), L"QDV_Setting", true, kSetupMs);
    const std::vector<ChildWindow> controls = Children(dialog);
    ASSERT_TRUE(ChildAt(controls, 16, 48) != nullptr && ChildAt(controls, 216, 452) != nullptr);
    SendMessageW(ChildAt(controls, 16, 48)->handle, BM_CLICK, 0, 0);  // auto-run
    EXPECT_EQ(ReadValue(kRunKey, L"QuonDorvel").value_or(StoredValue{}).Text(), Quoted(kProgram));
    SendMessageW(ChildAt(controls, 216, 452)->handle, BM_CLICK, 0, 0);  // Cancel

    const Program setup(SetupExe());
    const HWND window = WaitForWindow(setup.Id(), L"#32770", true, kSetupMs);
    ASSERT_NE(window, nullptr);
    PageThenNext(window, KoreanRun() ? L"\uC774 \uD504\uB85C\uADF8\uB7A8" : L"Setup will",
                 "welcome");
    PageThenNext(window, kFolder, "folder");
    PageThenNext(window, KoreanRun() ? L"QuonDorvel \uC9C0\uAE08" : L"Run QuonDorvel", "finish");
    EXPECT_EQ(setup.WaitForExit(kSetupMs), 0u);
    EXPECT_TRUE(RunsAgain(first.Process().Id()));
    ExpectInstalled();
    const DWORD running = RunningCopy();
    const HANDLE held = CreateFileW((kFolder + L"\\CorvaneReg.dll").c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RunToEnd(SetupExe() + L" /S"), 2u) << "a file it cannot write";
    CloseHandle(held);
    EXPECT_TRUE(RunsAgain(running)) << "what it closed comes back";
    DeleteFileW(kNetshLog.c_str());

    // As an administrator's script does, the uninstaller runs from a copy and is waited for.
    const std::wstring uninstaller = Folder(CSIDL_COMMON_APPDATA) + L"\\QuonDorvelUninstall.exe";
    ASSERT_TRUE(CopyFileW((kFolder + L"\\Uninstall.exe").c_str(), uninstaller.c_str(), FALSE));
    EXPECT_EQ(RunToEnd(Quoted(uninstaller) + L" /S _?=" + kFolder), 0u);
    DeleteFileW(uninstaller.c_str());
    EXPECT_EQ(RunningCopy(), 0u);
    EXPECT_FALSE(Exists(kFolder) || Exists(kShortcut) || !Entry(L"DisplayName").empty());
    EXPECT_FALSE(ReadValue(kDorvelKey, L"SetupDir") || ReadValue(kRunKey, L"QuonDorvel"));
    EXPECT_EQ(ReadValue(kDorvelKey, L"SharePath1")->Text(), shares.Path(1));
    EXPECT_EQ(NetshCalls(kOnXp ? " delete portopening" : " delete rule name="), kOnXp ? 3u : 1u);
}

}  // namespace
