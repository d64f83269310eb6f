// The Configuration dialog of the running program, driven through its controls from outside.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <commctrl.h>

#include "TrayDriver.h"

namespace {

using namespace apptest;

constexpr DWORD kWaitMs = 15000;

struct Place {
    int left;
    int top;
};
constexpr Place kAutoSharing{16, 16};
constexpr Place kAutoRun{16, 48};
constexpr Place kAddressList{207, 48};
constexpr Place kOk{72, 452};
constexpr Place kCancel{216, 452};

Place BrowseButton(int n) {
    return {280, 94 + 88 * (n - 1)};
}

Place FolderEdit(int n) {
    return {16, 122 + 88 * (n - 1)};
}

class ConfigurationTest : public testing::Test {
  protected:
    // Opens the dialog from the tray menu.
    HWND OpenDialog(const TrayProgram& program) const {
        if (!program.Choose(kSettingsRow)) return nullptr;
        return WaitForWindow(program.Process().Id(), L"QDV_Setting", true, kWaitMs);
    }

    const FreshAccount m_account;
    const ShareFolders m_shares;
};

HWND ControlAt(HWND dialog, Place place) {
    const std::vector<ChildWindow> children = Children(dialog);
    const ChildWindow* child = ChildAt(children, place.left, place.top);
    return child != nullptr ? child->handle : nullptr;
}

void Click(HWND dialog, Place place) {
    PostMessageW(ControlAt(dialog, place), BM_CLICK, 0, 0);
}

void SetText(HWND dialog, Place place, const std::wstring& text) {
    SendMessageW(ControlAt(dialog, place), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// OK refused: the box names why, and the dialog stays.
std::wstring RefusedOk(const TrayProgram& program, HWND dialog) {
    Click(dialog, kOk);
    const HWND box = program.WaitForBox(kWaitMs);
    if (box == nullptr) return L"(no box)";
    const std::wstring text = ReadBox(box).text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    PumpUntil([box] { return !IsWindow(box); }, kWaitMs);
    return IsWindowVisible(dialog) ? text : L"(dialog closed)";
}

RECT BoundsOf(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return bounds;
}

// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

bool FocusOn(HWND dialog, Place place) {
    return PumpUntil([&] { return FocusOf(dialog) == ControlAt(dialog, place); }, kWaitMs);
}

std::optional<std::wstring> Stored(const wchar_t* key, const wchar_t* name) {
    const std::optional<StoredValue> value = ReadValue(key, name);
    if (!value) return std::nullopt;
    return value->Text();
}

struct Caption {
    Place place;
    const wchar_t* english;
    const wchar_t* korean;
};

const Caption kCaptions[] = {
    {kAutoSharing, L"Auto Sharing at Program Run", L"\uC790\uB3D9 \uACF5\uC720 \uC2DC\uC791"},
    {kAutoRun, L"Dorvel  Auto Run ",
     L"\uC790\uB3D9 \uC2E4\uD589 (\uC708\uB3C4\uC6B0\uC988 \uC2DC\uC791)"},
    {{190, 53}, L"IP :", L"IP :"},
    {{16, 96}, L"Folder to Share", L"\uACF5\uC720\uD3F4\uB354 1"},
    {{16, 360}, L"Folder to Share", L"\uACF5\uC720\uD3F4\uB354 4"},
    {BrowseButton(1), L"Browse", L"\uD3F4\uB354\uCC3E\uAE30"},
    {BrowseButton(4), L"Browse", L"\uD3F4\uB354\uCC3E\uAE30"},
    {kOk, L"Ok", L"\uD655\uC778"},
    {kCancel, L"Cancel", L"\uCDE8\uC18C"},
};

// First shown in the middle of the screen, every control in its place with its caption; OK
// checks the folders in order, then the address, and names the first fault in a box, which holds
// the dialog still. The keys are a dialog box's: Tab moves on from the first box, Enter presses
// OK, Esc Cancel.
TEST_F(ConfigurationTest, OkRefusesAFolderOrAnAddressItCannotServe) {
    m_shares.Store(false);
    PutText(kDorvelKey, L"SharePath3", L"D:\\");
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    const HWND dialog = OpenDialog(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), KoreanRun() ? L"\uD658\uACBD\uC124\uC815" : L"Configuration");
    const RECT outer = BoundsOf(dialog);
    EXPECT_EQ(outer.right - outer.left, 399);
    EXPECT_EQ(outer.bottom - outer.top, 524);
    EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    for (const Caption& caption : kCaptions) {
        EXPECT_EQ(TextAt(dialog, caption.place.left, caption.place.top),
                  KoreanRun() ? caption.korean : caption.english)
            << caption.place.left << "," << caption.place.top;
    }
    EXPECT_EQ(TextAt(dialog, FolderEdit(1).left, FolderEdit(1).top), m_shares.Path(1));
    EXPECT_EQ(TextAt(dialog, FolderEdit(3).left, FolderEdit(3).top), L"D:\\");
    const HWND addresses = ControlAt(dialog, kAddressList);
    EXPECT_EQ(SendMessageW(addresses, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(WindowText(addresses), L"All");
    Screenshot(std::string("configuration-") + RunName());

    ASSERT_TRUE(FocusOn(dialog, kAutoSharing));
    PostMessageW(FocusOf(dialog), WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(FocusOn(dialog, kAutoRun));
    PostMessageW(FocusOf(dialog), WM_KEYDOWN, VK_RETURN, 0);
    const HWND box = program.WaitForBox(kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadBox(box).text, Wide(MessageTable(MsgDriveRoot)));
    EXPECT_FALSE(IsWindowEnabled(dialog));
    const RECT ok = BoundsOf(ControlAt(dialog, kOk));
    ASSERT_TRUE(ClickAt({(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2}, 1));
    EXPECT_FALSE(PumpUntil(
        [&] { return WindowsOf(program.Process().Id(), L"#32770", true).size() > 1; }, 1000))
        << "the click pressed OK again";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(FocusOn(dialog, kAutoRun));
    SetText(dialog, FolderEdit(1), L"");
    EXPECT_EQ(RefusedOk(program, dialog), Wide(MessageTable(MsgPleaseSelectFolder)));
    SetText(dialog, FolderEdit(1), m_shares.Path(1));
    SetText(dialog, FolderEdit(3), L"X");
    EXPECT_EQ(RefusedOk(program, dialog), Wide(MessageTable(MsgDriveRoot)));
    SetText(dialog, FolderEdit(3), m_shares.Path(3));
    SendMessageW(addresses, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(RefusedOk(program, dialog), Wide(MessageTable(MsgNoNicAdapter)));

    PostMessageW(FocusOf(dialog), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([dialog] { return !IsWindowVisible(dialog); }, kWaitMs));
    EXPECT_EQ(program.CloseAndWait(), 0u);
}

// A folder chosen with Browse is stored at once; Cancel puts back only what is shown and in
// force. The next showing is beside the notification area.
TEST_F(ConfigurationTest, BrowseThenCancelKeepsTheChosenFolderStored) {
    m_shares.Store(false);
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop), S_OK);
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    const HWND dialog = OpenDialog(program);
    ASSERT_NE(dialog, nullptr);

    Click(dialog, BrowseButton(2));
    const HWND browser = program.WaitForBox(kWaitMs);
    ASSERT_NE(browser, nullptr);
    bool titled = false;
    for (const ChildWindow& child : Children(browser)) {
        titled = titled || child.text == Wide(MessageTable(MsgSelectShareFolder));
    }
    EXPECT_TRUE(titled);
    // The desktop, the root of the browser's tree.
    const std::vector<ChildWindow> parts = Children(browser);
    for (const ChildWindow& part : parts) {
        if (part.className != WC_TREEVIEWW) continue;
        const LRESULT root = SendMessageW(part.handle, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        SendMessageW(part.handle, TVM_SELECTITEM, TVGN_CARET, root);
    }
    PostMessageW(browser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForTextAt(dialog, FolderEdit(2).left, FolderEdit(2).top, desktop, kWaitMs));
    EXPECT_EQ(Stored(kDorvelKey, L"SharePath2"), desktop);

    Click(dialog, kCancel);
    ASSERT_TRUE(PumpUntil([dialog] { return !IsWindowVisible(dialog); }, kWaitMs));
    EXPECT_EQ(TextAt(dialog, FolderEdit(2).left, FolderEdit(2).top), m_shares.Path(2));
    EXPECT_EQ(Stored(kDorvelKey, L"SharePath2"), desktop);

    ASSERT_EQ(OpenDialog(program), dialog);
    EXPECT_EQ(TextAt(dialog, FolderEdit(2).left, FolderEdit(2).top), m_shares.Path(2));
    const RECT outer = BoundsOf(dialog);
    const RECT taskbar = BoundsOf(FindWindowW(L"Shell_TrayWnd", nullptr));
    EXPECT_EQ(outer.right, GetSystemMetrics(SM_CXSCREEN) - 10);
    EXPECT_EQ(outer.bottom, taskbar.bottom - 50);
    Click(dialog, kCancel);
    EXPECT_EQ(program.CloseAndWait(), 0u);
}

// Ticking and unticking the auto-run box writes and deletes the Run value at once, whatever
// becomes of the dialog.
TEST_F(ConfigurationTest, TheAutoRunBoxWritesAndDeletesTheRunValueAtOnce) {
    m_shares.Store(false);
    PutText(kDorvelKey, L"SetupDir", L"C:\\Apps\\Quon");
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    const HWND dialog = OpenDialog(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(Stored(kRunKey, L"QuonDorvel"));
    Click(dialog, kAutoRun);
    EXPECT_TRUE(PumpUntil(
        [] { return Stored(kRunKey, L"QuonDorvel") == L"C:\\Apps\\Quon\\QuonDorvel.exe"; },
        kWaitMs));
    Click(dialog, kAutoRun);
    EXPECT_TRUE(PumpUntil([] { return !Stored(kRunKey, L"QuonDorvel"); }, kWaitMs));
    Click(dialog, kCancel);
    EXPECT_TRUE(PumpUntil([dialog] { return !IsWindowVisible(dialog); }, kWaitMs));
    EXPECT_FALSE(Stored(kRunKey, L"QuonDorvel"));
    EXPECT_EQ(program.CloseAndWait(), 0u);
}

// The address chosen in the list and "Auto Sharing at Program Run" ticked: OK starts sharing at
// once, on that address alone, and the status window names it.
TEST_F(ConfigurationTest, OkWithAnAddressChosenStartsSharingOnThatAddressAlone) {
    if (const std::optional<std::string> why = SharingUnavailable()) GTEST_SKIP() << *why;
    m_shares.Store(false);
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    const HWND dialog = OpenDialog(program);
    ASSERT_NE(dialog, nullptr);
    const HWND addresses = ControlAt(dialog, kAddressList);
    ASSERT_GE(SendMessageW(addresses, CB_GETCOUNT, 0, 0), 2);
    SendMessageW(addresses, CB_SETCURSEL, 1, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(addresses), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(addresses));
    const std::wstring chosen = WindowText(addresses);
    EXPECT_EQ(chosen.rfind(L"Wired: ", 0) == 0 || chosen.rfind(L"Wi - Fi: ", 0) == 0, true)
        << chosen;
    Click(dialog, kAutoSharing);
    Click(dialog, kOk);
    ASSERT_TRUE(program.WaitForHeadline(MsgSharingStarted));
    EXPECT_TRUE(program.WaitForSecondLine(L" IP : " + chosen));
    // The status window shows the start before OK stores the settings; the dialog closes after.
    EXPECT_TRUE(PumpUntil([dialog] { return !IsWindowVisible(dialog); }, kWaitMs));
    EXPECT_EQ(ReadValue(kOptionsKey, L"AutoShare")->Number(), 1u);
    EXPECT_NE(Probe("/quonhd1", "mnt").status, 0) << "nothing listens on loopback";
    EXPECT_EQ(program.CloseAndWait(), 0u);
}

std::string HandleIn(const HostResult& lookup) {
    const std::string prefix = "lookup 0 ";
    if (lookup.output.compare(0, prefix.size(), prefix) != 0) return "";
    return lookup.output.substr(prefix.size(), lookup.output.find('\n') - prefix.size());
}

// OK while a player is connected warns, then stops and starts the server; the handles the player
// had from before answer STALE, never another file, though the table gives their places anew.
TEST_F(ConfigurationTest, OkWhileSharingRestartsTheServerAndOldHandlesAnswerStale) {
    if (const std::optional<std::string> why = SharingUnavailable()) GTEST_SKIP() << *why;
    m_shares.Put(1, L"a.txt", "alpha");
    m_shares.Put(1, L"b.txt", "bravo");
    m_shares.Store(false);
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Choose(kStartRow));
    ASSERT_TRUE(program.WaitForHeadline(MsgSharingStarted));
    const std::string before = HandleIn(Probe("/quonhd1", "lookup a.txt"));
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(program.WaitForHeadline(MsgConnected));

    const HWND dialog = OpenDialog(program);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kOk);
    const HWND box = program.WaitForBox(kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadBox(box).text, Wide(MessageTable(MsgConnectionLost)));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([dialog] { return !IsWindowVisible(dialog); }, kWaitMs));
    EXPECT_TRUE(program.WaitForHeadline(MsgSharingStarted));

    const std::string after = HandleIn(Probe("/quonhd1", "lookup b.txt"));
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.substr(0, 8), before.substr(0, 8)) << "b.txt takes a.txt's old place";
    EXPECT_EQ(Probe("/quonhd1", "read-handle " + before + " 0 5").output, "read 70 0 0 \n");
    EXPECT_EQ(Probe("/quonhd1", "read-handle " + after + " 0 5").output, "read 0 5 0 bravo\n");
    EXPECT_EQ(program.CloseAndWait(), 0u);
}

}  // namespace
