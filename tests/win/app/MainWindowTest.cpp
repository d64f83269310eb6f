#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "GuiSupport.h"
#include "Mainform.h"
#include "Messages.h"
#include "TestRegistry.h"

namespace {

using apptest::PumpUntil;

class MainWindow : public testing::Test {
  protected:
    MainWindow() { m_form1.AttachStatusWindow(m_status); }

    // The power manager stood in for: each request is counted, and refused while told so.
    EXECUTION_STATE RequestPower(EXECUTION_STATE state) {
        m_powerRequests.push_back(state);
        return m_bRefusePower ? 0 : ES_CONTINUOUS;
    }

    const apptest::FreshAccount m_account;
    Application m_application{GetModuleHandleW(nullptr), "QuonDorvel"};
    ShareSettings m_settings;
    std::vector<EXECUTION_STATE> m_powerRequests;
    bool m_bRefusePower = false;
    TForm1 m_form1{m_application, m_settings, {{}, [this](EXECUTION_STATE state) {
                                                   return RequestPower(state);
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
    constexpr EXECUTION_STATE kAwake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
    constexpr EXECUTION_STATE kAsleep = ES_CONTINUOUS;
    const auto after = [this](void (TForm1::*event)(), size_t requests) {
        (m_form1.*event)();
        PumpUntil([&] { return m_powerRequests.size() >= requests; }, 5000);
    };
    m_bRefusePower = true;
    after(&TForm1::ShareConnected, 1);
    EXPECT_FALSE(m_form1.KeepsAwake());
    m_bRefusePower = false;
    after(&TForm1::ShareConnected, 2);
    EXPECT_TRUE(m_form1.KeepsAwake());
    m_form1.ShareConnected();  // held already: nothing asked before the unmount's release
    after(&TForm1::ShareDisConnected, 3);
    after(&TForm1::ShareConnected, 4);
    m_form1.N2Click();
    after(&TForm1::ShareConnected, 6);
    m_form1.N4Click();
    EXPECT_EQ(m_powerRequests, (std::vector<EXECUTION_STATE>{kAwake, kAwake, kAsleep, kAwake,
                                                             kAsleep, kAwake, kAsleep}));
    EXPECT_FALSE(m_form1.KeepsAwake());
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// A shell that refuses the first calls, and counts them all.
struct RefusingShell {
    int refusals;
    int calls = 0;
    TrayShell Shell(int retries) {
        return {[this](DWORD, NOTIFYICONDATAW&) { return ++calls > refusals; }, 10, retries};
    }
};

// The icon is offered again until the shell takes it, trying a change first (a refused add may
// have been taken after all), and no more often than the retries allow.
TEST(TrayIconTest, TheIconIsOfferedAgainUntilTakenAndNoFurtherThanTheRetries) {
    const struct {
        int refusals;
        int calls;
    } kCases[] = {{0, 1}, {3, 4}, {1000, 1 + 2 * 3}};
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.refusals);
        const apptest::FreshAccount account;
        Application application{GetModuleHandleW(nullptr), "QuonDorvel"};
        ShareSettings settings;
        RefusingShell shell{test.refusals};
        const TForm1 form1{application, settings, {shell.Shell(3)}};
        PumpUntil([&] { return shell.calls > test.calls; }, 500);  // waits out a call too many
        EXPECT_EQ(shell.calls, test.calls);
    }
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
