// QuonDorvel.exe as its user meets it: the tray icon and its menu, Start and Stop Sharing, and a
// player on the network (the libnfs client) mounting and reading a share.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <algorithm>

#include "TrayDriver.h"

namespace {

using namespace apptest;

constexpr DWORD kBoxMs = 15000;

class TrayProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        if (const std::optional<std::string> why = SharingUnavailable()) GTEST_SKIP() << *why;
    }

    const FreshAccount m_account;
    const ShareFolders m_shares;
};

std::vector<bool> Rows(bool start, bool stop) {
    return {start, stop, true, true};
}

RECT BoundsOf(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return bounds;
}

std::wstring BoxText(HWND box) {
    return ReadBox(box).text;
}

// Another program listening on a port, for TCP on every address.
class PortHolder {
  public:
    explicit PortHolder(u_short port) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        m_bHolds = bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                   listen(m_socket, 1) == 0;
    }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    ~PortHolder() {
        closesocket(m_socket);
        WSACleanup();
    }
    bool Holds() const { return m_bHolds; }

  private:
    SOCKET m_socket;
    bool m_bHolds = false;
};

void CloseBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    PumpUntil([box] { return !IsWindow(box); }, kBoxMs);
}

// Auto-sharing starts 3.5 s after the program: the status window moves beside the notification
// area and reports the start; a player's mount and unmount follow; a close message ends the
// program and frees the ports.
TEST_F(TrayProgramTest, AutoShareServesAPlayerAndTheStatusFollowsItsMountAndUnmount) {
    m_shares.Put(1, L"film.txt", "Quon film");
    m_shares.Store(true);
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForHeadline(MsgSharingStarted));
    const RECT status = BoundsOf(program.StatusWindow());
    const RECT taskbar = BoundsOf(FindWindowW(L"Shell_TrayWnd", nullptr));
    EXPECT_EQ(status.right, GetSystemMetrics(SM_CXSCREEN) - 10);
    EXPECT_EQ(status.bottom, taskbar.bottom - 20);
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::kOn));

    // The auto-start starts twice in a row, and a client that comes in between tries again, as a
    // player does.
    HostResult film;
    for (int tries = 0; tries < 20 && film.output != "Quon film"; ++tries) {
        film = RunOnHost("nfs-cat nfs://127.0.0.1/quonhd1/film.txt");
    }
    EXPECT_EQ(film.output, "Quon film");
    ASSERT_TRUE(program.WaitForHeadline(MsgConnected));
    EXPECT_TRUE(program.WaitForSecondLine(L" IP : " + FirstHostAddress()));
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::kOn));
    Screenshot(std::string("status-mounted-") + RunName());

    const HostResult unmount = Probe("/quonhd1", "umnt");
    EXPECT_EQ(unmount.status, 0) << unmount.output;
    EXPECT_TRUE(program.WaitForHeadline(MsgDisconnected));
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::kOff));

    EXPECT_EQ(program.CloseAndWait(), 0u);
    EXPECT_TRUE(StandardPortsFree());
}

// The held port is named on the status window's second line, the window moves to the main
// window's place as far as the screen's work area lets it stay whole, and nothing else changes.
TEST_F(TrayProgramTest, AStartWithPort111HeldNamesThePortAndLeavesTheMenuAsItWas) {
    m_shares.Store(false);
    const PortHolder holder(111);
    ASSERT_TRUE(holder.Holds());

    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    const std::optional<ShownMenu> menu = program.OpenMenu(1);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->enabled, Rows(true, false));
    program.Dismiss();
    ASSERT_TRUE(program.Choose(kStartRow));
    EXPECT_TRUE(program.WaitForHeadline(MsgBlockedPort));
    EXPECT_TRUE(program.WaitForSecondLine(L"Blocked Port :111"));
    // The texts change before the window moves.
    RECT status{};
    EXPECT_TRUE(PumpUntil(
        [&] {
            status = BoundsOf(program.StatusWindow());
            MONITORINFO screen{};
            screen.cbSize = sizeof screen;
            GetMonitorInfoW(MonitorFromRect(&status, MONITOR_DEFAULTTONEAREST), &screen);
            const LONG width = status.right - status.left, height = status.bottom - status.top;
            return status.left == std::min<LONG>(671, screen.rcWork.right - width) &&
                   status.top == std::min<LONG>(643, screen.rcWork.bottom - height);
        },
        kBoxMs))
        << "left " << status.left << ", top " << status.top;
    Screenshot(std::string("blocked-port-") + RunName());
    // There the status window covers the notification area of this small screen until it hides.
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(program.StatusWindow()); }, kBoxMs));
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::kOff));
    const std::optional<ShownMenu> after = program.OpenMenu(3);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->enabled, Rows(true, false));
    program.Dismiss();

    EXPECT_EQ(program.CloseAndWait(), 0u);
}

// Stop Sharing with a player mounted warns first, and the server keeps serving until the box is
// closed; Exit ends the program.
TEST_F(TrayProgramTest, StartAndStopFromTheMenuSwitchTheItemsAndThePicture) {
    m_shares.Store(false);
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Choose(kStartRow));
    ASSERT_TRUE(program.WaitForHeadline(MsgSharingStarted));
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::kOn));
    const std::optional<ShownMenu> sharing = program.OpenMenu(3);
    ASSERT_TRUE(sharing);
    EXPECT_EQ(sharing->enabled, Rows(false, true));
    Screenshot(std::string("menu-") + RunName());
    program.Dismiss();

    const HostResult mount = Probe("/quonhd1", "mnt");
    EXPECT_EQ(mount.output, "mnt 0 64\n");
    ASSERT_TRUE(program.WaitForHeadline(MsgConnected));
    ASSERT_TRUE(program.Choose(kStopRow));
    const HWND box = program.WaitForBox(kBoxMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), Wide(MessageTable(MsgConnectionLost)));
    EXPECT_EQ(Probe("/quonhd2", "mnt").output, "mnt 0 64\n") << "still serving";
    CloseBox(box);
    EXPECT_TRUE(program.WaitForHeadline(MsgSharingClosed));
    EXPECT_TRUE(PumpUntil(StandardPortsFree, kBoxMs));
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::kOff));
    const std::optional<ShownMenu> stopped = program.OpenMenu(1);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->enabled, Rows(true, false));
    ASSERT_TRUE(ClickAt(stopped->RowCentre(kExitRow), 1));
    EXPECT_EQ(program.Process().WaitForExit(kBoxMs), 0u);
}

// A file the server cannot read raises one box; while it is open the server answers at once,
// and the same failure again adds no second box.
TEST_F(TrayProgramTest, AServerMessageIsShownWithoutHoldingUpTheServer) {
    m_shares.Put(1, L"locked.avi", "film");
    m_shares.Put(1, L"open.avi", "open");
    m_shares.Store(false);
    const HANDLE held =
        CreateFileW((m_shares.Path(1) + L"\\locked.avi").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const TrayProgram program;
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Choose(kStartRow));
    ASSERT_TRUE(program.WaitForHeadline(MsgSharingStarted));

    EXPECT_EQ(Probe("/quonhd1", "read locked.avi 0 4").output, "read 5 0 0 \n");
    const HWND box = program.WaitForBox(kBoxMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadBox(box).caption, L"File I/O Error");
    EXPECT_EQ(BoxText(box), L"File Reading operation failed ! ");
    EXPECT_EQ(Probe("/quonhd1", "read locked.avi 0 4").output, "read 5 0 0 \n");
    EXPECT_EQ(Probe("/quonhd1", "read open.avi 0 4").output, "read 0 4 0 open\n");
    EXPECT_EQ(WindowsOf(program.Process().Id(), L"#32770", true).size(), 1u);
    CloseBox(box);
    CloseHandle(held);
    EXPECT_EQ(program.CloseAndWait(), 0u);
}

}  // namespace
