// The windows at the screen's DPI: 96 in the other runs, 120 and 144 in the runs at-dpi.sh makes.
// Every caption is whole in its control's own font, and the status window, the menu and the
// Configuration dialog are saved as pictures to look at.
#include <gtest/gtest.h>

#include "Dpi.h"
#include "Mainform.h"
#include "Optionform.h"
#include "TrayDriver.h"
#include "WideText.h"

namespace {

using namespace apptest;

// The room a control's text takes in its own font: a check box draws its box before it, a
// word-wrapped label wraps at its own width.
SIZE Needed(const ChildWindow& control, const RECT& client) {
    HDC dc = GetDC(control.handle);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control.handle, WM_GETFONT, 0, 0)));
    const bool wraps = control.className == L"Static" && (control.style & SS_TYPEMASK) == SS_LEFT;
    RECT extent{0, 0, wraps ? client.right : 0, 0};
    DrawTextW(dc, control.text.c_str(), -1, &extent,
              DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, previous);
    ReleaseDC(control.handle, dc);
    const bool checkBox =
        control.className == L"Button" && (control.style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    return {extent.right + (checkBox ? Scaled(16) : 0), extent.bottom};
}

void ExpectEveryCaptionWhole(HWND window) {
    RECT inside{};
    GetClientRect(window, &inside);
    for (const ChildWindow& control : Children(window)) {
        if (control.text.empty() || control.className == L"ComboBox") continue;
        SCOPED_TRACE(Narrow(control.text));
        RECT client{};
        GetClientRect(control.handle, &client);
        const SIZE needed = Needed(control, client);
        if (control.className != L"Edit") {  // an edit box scrolls its text
            EXPECT_LE(needed.cx, client.right);
        }
        EXPECT_LE(needed.cy, client.bottom);
        EXPECT_LE(control.bounds.right, inside.right);
    }
}

TEST(Layout, EveryCaptionIsWholeAtThisDpi) {
    const FreshAccount account;
    Application application{GetModuleHandleW(nullptr), "QuonDorvel"};
    ShareSettings settings;
    TForm1 form1{application, settings};
    TForm_Status status{application};
    const QDV_Setting setting{application, form1, settings};
    ExpectEveryCaptionWhole(setting.Handle());
    for (MessageKey headline :
         {MsgSharingStarted, MsgSharingClosed, MsgConnected, MsgDisconnected, MsgSetShareRoot,
          MsgCheckNetwork, MsgNetworkConflict, MsgWinsockLimit, MsgBlockedPort}) {
        status.Label1.SetText(MessageTable(headline));
        ExpectEveryCaptionWhole(status.Handle());
    }
}

TEST(Layout, PicturesAtThisDpi) {
    if (ScreenDpi() == kDesignDpi) GTEST_SKIP() << "the other tests take them at 96 DPI";
    const FreshAccount account;
    const ShareFolders shares;
    shares.Store(false);
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    const std::string name = "-" + std::to_string(ScreenDpi()) + "dpi-" + RunName();
    Screenshot("status" + name);
    ASSERT_TRUE(program.OpenMenu(3));
    Screenshot("menu" + name);
    program.Dismiss();
    ASSERT_TRUE(program.Choose(kSettingsRow));
    ASSERT_NE(WaitForWindow(program.Process().Id(), L"QDV_Setting", true, 15000), nullptr);
    Screenshot("configuration" + name);
    EXPECT_EQ(program.CloseAndWait(), 0u);
}

}  // namespace
