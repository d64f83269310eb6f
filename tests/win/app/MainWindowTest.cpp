#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "Dpi.h"
#include "GuiSupport.h"
#include "Mainform.h"
#include "Messages.h"
#include "Optionform.h"
#include "TestRegistry.h"
#include "WideText.h"

namespace {

using apptest::PumpUntil;

class MainWindow : public testing::Test {
  protected:
    MainWindow() { m_form1.AttachStatusWindow(m_status); }

    const apptest::FreshAccount m_account;
    Application m_application{GetModuleHandleW(nullptr), "QuonDorvel"};
    ShareSettings m_settings;
    std::vector<EXECUTION_STATE> m_powerRequests;  // to the power manager, refused while told so
    bool m_bRefusePower = false;
    TForm1 m_form1{m_application, m_settings, {{}, [this](EXECUTION_STATE state) {
                                                   m_powerRequests.push_back(state);
                                                   return m_bRefusePower ? 0 : state;
                                               }}};
    TForm_Status m_status{m_application};
};

TEST_F(MainWindow, ServerThreadsSetTheStateAtOnceAndLeaveTheWindowsToTheQueue) {
    EXPECT_EQ(m_form1.ShareState(), kShareIdle);
    std::thread([this] { m_form1.ShareConnected(); }).join();
    EXPECT_EQ(m_form1.ShareState(), kShareConnected);
    EXPECT_FALSE(m_status.Visible());
    EXPECT_EQ(m_status.Label1.Text(), " ");

    ASSERT_TRUE(PumpUntil([this] { return m_status.Visible(); }, 5000));
    EXPECT_EQ(m_status.Label1.Text(), MessageTable(MsgConnected));
    EXPECT_EQ(m_status.Label2.Text(), " IP : ");  // the server has not run
    EXPECT_TRUE(m_status.Image2.Visible());
    EXPECT_FALSE(m_status.Image1.Visible());

    std::thread([this] { m_form1.ShareDisConnected(); }).join();
    EXPECT_EQ(m_form1.ShareState(), kShareIdle);
    ASSERT_TRUE(PumpUntil([this] { return m_status.Image1.Visible(); }, 5000));
    EXPECT_EQ(m_status.Label1.Text(), MessageTable(MsgDisconnected));
    EXPECT_FALSE(m_status.Image2.Visible());
}

// The display's three power settings as the window system has them now.
struct PowerSettings {
    BOOL screenSaver = FALSE;
    BOOL lowPower = FALSE;
    BOOL powerOff = FALSE;

    static PowerSettings Current() {
        PowerSettings now;
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &now.screenSaver, 0);
        SystemParametersInfoA(SPI_GETLOWPOWERACTIVE, 0, &now.lowPower, 0);
        SystemParametersInfoA(SPI_GETPOWEROFFACTIVE, 0, &now.powerOff, 0);
        return now;
    }
    void Apply() const {
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, screenSaver, nullptr, 0);
        SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, lowPower, nullptr, 0);
        SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, powerOff, nullptr, 0);
    }
    bool operator==(const PowerSettings& other) const {
        return screenSaver == other.screenSaver && lowPower == other.lowPower &&
               powerOff == other.powerOff;
    }
};

// The user's settings survive the auto-start's second start (and every restart by
// Configuration OK), and come back when sharing stops and when the program ends while sharing.
TEST_F(MainWindow, TheUsersPowerSettingsComeBackHoweverSharingStartedAndEnded) {
    const PowerSettings before = PowerSettings::Current();
    const PowerSettings user{TRUE, TRUE, TRUE};
    user.Apply();
    m_form1.SuspendPowerSaving();
    m_form1.SuspendPowerSaving();
    EXPECT_EQ(PowerSettings::Current(), (PowerSettings{TRUE, FALSE, FALSE}));
    m_form1.RestorePowerSaving();
    EXPECT_EQ(PowerSettings::Current(), user);

    m_form1.SuspendPowerSaving();
    m_form1.N4Click();
    EXPECT_EQ(PowerSettings::Current(), user);
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    before.Apply();
}

// A mount keeps the system awake, asked once; the last unmount, Stop Sharing and the end of the
// program let it sleep. A refused request is made again at the next mount.
TEST_F(MainWindow, AMountedShareKeepsTheSystemAwakeUntilUnmountStopOrExit) {
    const auto requests = [this](size_t count) {
        return PumpUntil([&] { return m_powerRequests.size() >= count; }, 5000);
    };
    m_bRefusePower = true;
    m_form1.ShareConnected();
    ASSERT_TRUE(requests(1));
    EXPECT_FALSE(m_form1.KeepsAwake());
    m_bRefusePower = false;
    for (auto event : {&TForm1::ShareConnected, &TForm1::ShareConnected, &TForm1::ShareDisConnected,
                       &TForm1::ShareConnected}) {
        (m_form1.*event)();  // the second mount asks nothing: the request is held
    }
    ASSERT_TRUE(requests(4));
    EXPECT_TRUE(m_form1.KeepsAwake());
    m_form1.N2Click();
    m_form1.ShareConnected();
    ASSERT_TRUE(requests(6));
    m_form1.N4Click();
    const EXECUTION_STATE kAwake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
    EXPECT_EQ(m_powerRequests,
              (std::vector<EXECUTION_STATE>{kAwake, kAwake, ES_CONTINUOUS, kAwake, ES_CONTINUOUS,
                                            kAwake, ES_CONTINUOUS}));
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// The icon is offered again until the shell takes it, trying a change first (a refused add may
// have been taken after all), and no more often than the retries allow: a shell that refuses
// the first calls, and counts them all.
TEST(TrayIconTest, TheIconIsOfferedAgainUntilTakenAndNoFurtherThanTheRetries) {
    const std::pair<int, int> kRefusalsAndCalls[] = {{0, 1}, {3, 4}, {1000, 1 + 2 * 3}};
    for (const auto& [refusalCount, calls] : kRefusalsAndCalls) {
        const int refusals = refusalCount;
        const apptest::FreshAccount account;
        Application application{GetModuleHandleW(nullptr), "QuonDorvel"};
        ShareSettings settings;
        int made = 0;
        const TForm1 form1{application,
                           settings,
                           {{[&](DWORD, NOTIFYICONDATAW&) { return ++made > refusals; }, 10, 3}}};
        PumpUntil([&] { return made > calls; }, 500);  // waits out a call too many
        EXPECT_EQ(made, calls) << refusals;
    }
}

// Every caption of the window whole in its control's own font (a check box draws its box before
// the text, a word-wrapped label wraps at its width, an edit box scrolls sideways), and every
// control inside the window.
void ExpectEveryCaptionWhole(HWND window) {
    RECT inside{};
    GetClientRect(window, &inside);
    for (const apptest::ChildWindow& control : apptest::Children(window)) {
        if (control.text.empty() || control.className == L"ComboBox") continue;
        const bool wraps =
            control.className == L"Static" && (control.style & SS_TYPEMASK) == SS_LEFT;
        const bool box =
            control.className == L"Button" && (control.style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        RECT room{};
        GetClientRect(control.handle, &room);
        RECT text{0, 0, wraps ? room.right : 0, 0};
        HDC dc = GetDC(control.handle);
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control.handle, WM_GETFONT, 0, 0)));
        DrawTextW(dc, control.text.c_str(), -1, &text,
                  DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
        ReleaseDC(control.handle, dc);
        const std::string caption = Narrow(control.text);
        EXPECT_TRUE(control.className == L"Edit" ||
                    text.right + (box ? Scaled(16) : 0) <= room.right)
            << caption;
        EXPECT_LE(text.bottom, room.bottom) << caption;
        EXPECT_LE(control.bounds.right, inside.right) << caption;
    }
}

// At the screen's DPI (96 here, 120 and 144 in the runs at-dpi.sh makes) every caption is whole,
// and the status window, the menu and the Configuration dialog are saved as
// <what>-<dpi>dpi-<language>.png to look at.
TEST_F(MainWindow, EveryCaptionIsWholeAtThisDpi) {
    QDV_Setting setting{m_application, m_form1, m_settings};
    ASSERT_TRUE(IsWindow(m_status.Handle()) && IsWindow(setting.Handle()));
    const std::string name = "-" + std::to_string(ScreenDpi()) + "dpi-" + apptest::RunName();
    for (int headline = MsgSharingStarted; headline <= MsgBlockedPort; ++headline) {
        m_status.Label1.SetText(MessageTable(static_cast<MessageKey>(headline)));
        ExpectEveryCaptionWhole(m_status.Handle());
    }
    const auto picture = [&name](const Form& form, const char* what) {
        RedrawWindow(form.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        apptest::Screenshot(what + name);
    };
    m_status.Show();
    picture(m_status, "status");
    std::thread menu([&] {  // the menu is modal to this thread
        apptest::JoinTestDesktop();
        PumpUntil(
            [] { return !apptest::WindowsOf(GetCurrentProcessId(), L"#32768", true).empty(); },
            5000);
        apptest::Screenshot("menu" + name);
        for (HWND shown : apptest::WindowsOf(GetCurrentProcessId(), L"#32768", true)) {
            PostMessageW(shown, WM_KEYDOWN, VK_ESCAPE, 0);
        }
    });
    m_form1.PopupMenu1.Popup(GetSystemMetrics(SM_CXSCREEN) - 10,
                             GetSystemMetrics(SM_CYSCREEN) - 10);
    menu.join();
    setting.Show();
    ExpectEveryCaptionWhole(setting.Handle());
    picture(setting, "configuration");
}

std::vector<apptest::Box> OpenBoxes() {
    std::vector<apptest::Box> boxes;
    for (HWND box : apptest::WindowsOf(GetCurrentProcessId(), L"#32770", true)) {
        boxes.push_back(apptest::ReadBox(box));
    }
    return boxes;
}

bool Waited(const std::function<bool()>& condition) {
    for (int tries = 0; tries < 250 && !condition(); ++tries) Sleep(20);
    return condition();
}

// The boxes are modal on the test's thread, so another thread watches and closes them, the one
// opened last (found first) first. The last notice's box shows only once every earlier notice
// was shown or dropped.
TEST_F(MainWindow, UserNoticesGetOneBoxPerKindShownWithTheirCaptions) {
    const char kCreateFailed[] = "File Creation operation failed ! ";
    const char kSendFailed[] = "Error in sending data through TCP socket";
    std::thread([this, &kCreateFailed, &kSendFailed] {
        m_form1.NotifyUser(kCreateFailed, "File Create Error");
        m_form1.NotifyUser(kCreateFailed, "File Create Error");
        m_form1.NotifyUser(kSendFailed, "TCP Socket Send Error");
    }).join();

    std::vector<apptest::Box> seen;
    std::atomic<bool> closed{false};
    std::thread closer([&] {
        apptest::JoinTestDesktop();
        const auto showsSendFailure = [] {
            for (const apptest::Box& box : OpenBoxes()) {
                if (box.caption == L"TCP Socket Send Error") return true;
            }
            return false;
        };
        if (Waited(showsSendFailure)) seen = OpenBoxes();
        for (const apptest::Box& box : seen) {
            PostMessageW(box.handle, WM_COMMAND, IDOK, 0);
            Waited([&] { return !IsWindow(box.handle); });
        }
        closed = true;
    });
    PumpUntil([&] { return closed.load(); }, 10000);
    closer.join();

    std::map<std::wstring, std::wstring> textByCaption;
    for (const apptest::Box& box : seen) textByCaption[box.caption] = box.text;
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(textByCaption[L"TCP Socket Send Error"], L"Error in sending data through TCP socket");
    EXPECT_EQ(textByCaption[L"File Create Error"], L"File Creation operation failed ! ");
    EXPECT_TRUE(OpenBoxes().empty());
}

}  // namespace
