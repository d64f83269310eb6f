#include <gtest/gtest.h>

#include "CorvaneRegDll.h"
#include "StandInWindows.h"

namespace {

using regtest::StandInWindows;

// "환경설정", the remote control's settings caption on Korean systems.
const wchar_t kKoreanSettings[] = L"\uD658\uACBD\uC124\uC815";

// The stand-ins go away on a close like the real main windows, so a second call finds nothing.
TEST(CloseWindows, EachExportClosesOnlyItsOwnApplication) {
    const StandInWindows windows({{"TCorvaneHdtvTray", L"HDTV Tray", 0x7101, true},
                                  {"TCorvaneHdtvTray", L"USBHDTV Tray", 0x7102, true},
                                  {"TPellamManagerForm", L"PellamManagerForm", 0x7103, true},
                                  {"TForm1", L"DorvelMainForm", 0x7104, true},
                                  {"TForm1", L"Form1", 0x7105, true}});
    ASSERT_TRUE(windows.Ready());
    const auto destroyTray = CORVANE(DestroyTray);
    const auto destroyUsbTray = CORVANE(DestroyUSBTray);
    const auto destroyResmanager = CORVANE(DestroyResmanager);
    const auto destroyDorvel = CORVANE(DestroyDorvel);
    EXPECT_EQ(destroyTray(), 0x7101u);
    EXPECT_EQ(destroyUsbTray(), 0x7102u);
    EXPECT_EQ(destroyResmanager(), 0x7103u);
    EXPECT_EQ(destroyDorvel(), 0x7104u);
    for (size_t window = 0; window < 4; ++window) EXPECT_EQ(windows.Closes(window), 1) << window;
    EXPECT_EQ(windows.Closes(4), 0);
    for (const auto destroy : {destroyTray, destroyUsbTray, destroyResmanager, destroyDorvel,
                               CORVANE(DestroyRemoconApp)}) {
        EXPECT_EQ(destroy(), 0u);
    }
}

// The any-caption lookup meets one of the two TCorvaneRC windows, which then gets a second close
// from its own lookup; all four lookups come first, so the Korean window's answer is the last.
TEST(CloseWindows, RemoconClosesEveryWindowItLookedUp) {
    ASSERT_EQ(GetACP(), 949u);
    const StandInWindows windows({{"TCorvaneRC", L"Configurations", 0x7201},
                                  {"Varnex Hdtv MainWnd Class", L"Varnex Hdtv MainWnd", 0x7202},
                                  {"TCorvaneRC", kKoreanSettings, 0x7204}});
    ASSERT_TRUE(windows.Ready());
    EXPECT_EQ(CORVANE(DestroyRemoconApp)(), 0x7204u);
    EXPECT_EQ(windows.Closes(1), 1);
    EXPECT_GE(windows.Closes(0), 1);
    EXPECT_GE(windows.Closes(2), 1);
    EXPECT_EQ(windows.Closes(0) + windows.Closes(2), 3);
}

// The settings window is looked up twice (any caption, then its own) before the first close;
// by the second close it has gone, and a close sent to a window that no longer exists answers 0.
TEST(CloseWindows, RemoconLooksUpAllWindowsBeforeClosingAny) {
    ASSERT_EQ(GetACP(), 949u);
    const StandInWindows windows({{"TCorvaneRC", kKoreanSettings, 0x7204, true}});
    ASSERT_TRUE(windows.Ready());
    EXPECT_EQ(CORVANE(DestroyRemoconApp)(), 0u);
    EXPECT_EQ(windows.Closes(0), 1);
}

// Outside code page 949 the caption bytes name another text: only the any-caption lookup hits.
TEST(English, RemoconKoreanCaptionIsLookedUpInCodePage949) {
    ASSERT_EQ(GetACP(), 1252u);
    const StandInWindows windows({{"Varnex Hdtv MainWnd Class", L"Varnex Hdtv MainWnd", 0x7202},
                                  {"TCorvaneRC", kKoreanSettings, 0x7204}});
    ASSERT_TRUE(windows.Ready());
    EXPECT_EQ(CORVANE(DestroyRemoconApp)(), 0x7202u);
    EXPECT_EQ(windows.Closes(1), 1);
}

}  // namespace
