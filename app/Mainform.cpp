#include "Mainform.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "MessageBox.h"
#include "Messages.h"
#include "Optionform.h"
#include "ServerDaemon.h"
#include "TrayPlacement.h"
#include "WideText.h"
#include "resource.h"

namespace {

enum ServerMessage : UINT {
    kShareConnectedMessage = WM_APP + 1,
    kShareDisConnectedMessage,
    kUserNoticeMessage,
};

constexpr UINT kAutoStartDelay = 3500;
constexpr int kPictureOff = 0;
constexpr int kPictureOn = 1;

FormDesign MainDesign() {
    FormDesign design;
    design.className = "TForm1";
    design.caption = "DorvelMainForm";
    design.left = 671;
    design.top = 643;
    design.clientWidth = 345;
    design.clientHeight = 61;
    design.color = kSkyBlue;
    design.stayOnTop = true;
    design.screenCentre = true;
    design.mainForm = true;
    return design;
}

MenuItemDesign MenuCaption(const char* english, const char* korean, bool radio, bool enabled) {
    return {KoreanInForce() ? korean : english, enabled, radio, radio};
}

// The folders as the server takes them: its own writable texts in the system's code page, a
// name the code page lacks under the alias the server gives it.
std::vector<std::vector<char>> ServerPaths(const std::array<std::string, 4>& folders) {
    std::vector<std::vector<char>> paths;
    for (const std::string& folder : folders) {
        const std::string served = ServedFolder(folder);
        paths.emplace_back(served.begin(), served.end());
        paths.back().push_back('\0');
    }
    return paths;
}

// The icon of the application's window, told to the shell under the application's window:
// the notification area never had an icon of that window, so the shell has nothing to change.
void AnnounceApplicationIcon(const Application& application) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = application.Handle();
    data.uID = 0;
    data.uFlags = NIF_ICON;
    data.uCallbackMessage = RegisterWindowMessageA("IconNotify");
    data.hIcon = application.Icon();
    std::strncpy(data.szTip, "My task", 63);
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

}  // namespace

TForm1::TForm1(Application& application, ShareSettings& settings, SystemCalls calls)
    : Form(application, MainDesign()),
      m_settings(settings),
      m_keepAwake(std::move(calls.executionState)),
      ImageList1(application.Instance(), {IDI_DORVEL_OFF, IDI_DORVEL_ON},
                 GetSystemMetrics(SM_CXSMICON)),
      PopupMenu1(*this),
      N1(PopupMenu1.Add(MenuCaption("Start Sharing", "공유시작", true, true),
                        [this] { N1Click(); })),
      N2(PopupMenu1.Add(MenuCaption("Stop Sharing", "공유중지", true, false),
                        [this] { N2Click(); })),
      N3(PopupMenu1.Add(MenuCaption("Settings", "환경설정", false, true), [this] { N3Click(); })),
      N4(PopupMenu1.Add(MenuCaption("Exit", "종료", false, true), [this] { N4Click(); })),
      TrayIcon1(
          application, ImageList1, PopupMenu1,
          [this](UINT buttonDown) { TrayIcon1MouseDown(buttonDown); }, std::move(calls.tray)),
      Timer_AutoStart(*this, kAutoStartDelay, false, [this] { Timer_AutoStartTimer(); }) {
    m_settings.LoadFoldersInForce();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    Timer_AutoStart.SetEnabled(true);
}

// Closing ends the program (by the menu's Exit, or a close message from another program): the
// display's power settings go back to what the user had, as Stop Sharing does, and the system
// may sleep again.
void TForm1::FormClose() {
    RestorePowerSaving();
    m_keepAwake.Release();
}

void TForm1::ShareConnected() {
    m_nShareState = kShareConnected;
    PostMessageW(Handle(), kShareConnectedMessage, 0, 0);
}

void TForm1::ShareDisConnected() {
    m_nShareState = kShareIdle;
    PostMessageW(Handle(), kShareDisConnectedMessage, 0, 0);
}

void TForm1::NotifyUser(const char* text, const char* caption) {
    m_notices.Push({AnsiToUtf8(text), AnsiToUtf8(caption)});
    PostMessageW(Handle(), kUserNoticeMessage, 0, 0);
}

void TForm1::N1Click() {
    for (const std::string& folder : m_settings.sharePath) {
        if (folder.empty()) {
            ShowInfo("No Share Folder !");
            return;
        }
    }
    std::vector<std::vector<char>> paths = ServerPaths(m_settings.sharePath);
    const int32_t result =
        StartServer(0, 0, 0, m_settings.bindAll ? 1 : 0, m_settings.addressNumber, paths[0].data(),
                    paths[1].data(), paths[2].data(), paths[3].data());
    // The server cuts a closing quote and a trailing backslash off the texts it was given; the
    // folders lose them too, and keep their own spelling rather than any alias.
    for (size_t n = 0; n < paths.size(); ++n) {
        const size_t cut = paths[n].size() - 1 - std::strlen(paths[n].data());
        std::string& folder = m_settings.sharePath[n];
        folder.resize(folder.size() - std::min(cut, folder.size()));
    }
    if (result == kStartRunning) {
        ReportStarted();
    } else {
        ReportStartFailure(result);
    }
}

void TForm1::ReportStarted() {
    m_pStatus->Label1.SetText(MessageTable(MsgSharingStarted));
    Label* const folderLines[] = {&m_pStatus->Label5, &m_pStatus->Label6, &m_pStatus->Label7,
                                  &m_pStatus->Label8};
    for (size_t n = 0; n < 4; ++n) folderLines[n]->SetText(m_settings.sharePath[n]);
    TrayIconConnected();
    m_pStatus->DorvelIconConnected();
    m_pStatus->Show();
    m_pStatus->Label2.SetText(AddressLine());
    m_nShareState = kShareSharing;
    TrayIcon1.SetHint("Quon Dorvel ON  ");
    N1.SetEnabled(false);
    N2.SetEnabled(true);
    SuspendPowerSaving();
}

// Nothing half-started stays open; the state, the menu and the hint stay as they were.
void TForm1::ReportStartFailure(int32_t result) {
    const StartFailureReport report = DescribeStartFailure(result);
    if (report.headline) m_pStatus->Label1.SetText(MessageTable(*report.headline));
    if (!report.secondLine.empty()) m_pStatus->Label2.SetText(report.secondLine);
    m_pStatus->MoveInsideWorkArea(Left(), Top());
    TrayIconDisConnected();
    m_pStatus->DorvelIconDisConnected();
    m_pStatus->Show();
    StopServer();
    m_keepAwake.Release();
}

// A player about to lose its share is the one case the user is told of before it happens.
void TForm1::N2Click() {
    TrayIconDisConnected();
    if (m_nShareState == kShareConnected && GetMountCount() > 0) {
        ShowInfo(MessageTable(MsgConnectionLost));
    }
    N1.SetEnabled(true);
    N2.SetEnabled(false);
    TrayIcon1.SetHint("Quon Dorvel OFF ");
    m_pStatus->Label1.SetText(MessageTable(MsgSharingClosed));
    m_pStatus->Label2.SetText(AddressLine());
    TrayIconDisConnected();
    m_pStatus->DorvelIconDisConnected();
    m_pStatus->Show();
    m_nShareState = kShareStopped;
    StopServer();
    RestorePowerSaving();
    m_keepAwake.Release();
}

void TForm1::N3Click() {
    if (!m_pSetting) m_pSetting = std::make_unique<QDV_Setting>(App(), *this, m_settings);
    m_pSetting->Show();
}

void TForm1::N4Click() {
    Close();
    StopServer();
}

// Each folder is checked on its own, so with both set sharing starts twice; the second start
// opens the server's sockets anew.
void TForm1::Timer_AutoStartTimer() {
    PlaceStatusWindow();
    if (m_settings.autoShare) {
        for (size_t n = 0; n < 2; ++n) {
            if (!m_settings.sharePath[n].empty()) {
                N1Click();
            } else {
                ShowInfo("Sharing not started because of PATH not specified !");
            }
        }
    }
    Timer_AutoStart.SetEnabled(false);
}

void TForm1::TrayIcon1MouseDown(UINT buttonDown) {
    if (buttonDown != WM_LBUTTONDOWN) return;
    POINT at{};
    GetCursorPos(&at);
    PopupMenu1.Popup(at.x, at.y);
}

void TForm1::TrayIconConnected() {
    SetTrayPicture(kPictureOn);
}

void TForm1::TrayIconDisConnected() {
    SetTrayPicture(kPictureOff);
}

void TForm1::SetTrayPicture(int index) {
    App().SetIcon(ImageList1.Icon(index));
    TrayIcon1.SetHint(kDorvelVersionCaption);
    TrayIcon1.SetIconIndex(index);
    AnnounceApplicationIcon(App());
}

std::string TForm1::AddressLine() const {
    const std::string& selected = m_settings.selectedAddress;
    if (!selected.empty() && selected != "All") return " IP : " + selected;
    const net::HostEntry* host = ServerHostEntry();
    return " IP : " + (host != nullptr && !host->addresses.empty()
                           ? net::AddressText(host->addresses.front())
                           : std::string());
}

// The user's own settings are saved only while they are in force: the auto-start's second
// start, or a restart by Configuration OK, would otherwise save our switched-off values over
// them. Nothing goes to the user's profile.
void TForm1::SuspendPowerSaving() {
    if (!m_bPowerSavingSuspended) {
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &m_savedPower.screenSaver, 0);
        SystemParametersInfoA(SPI_GETLOWPOWERACTIVE, 0, &m_savedPower.lowPower, 0);
        SystemParametersInfoA(SPI_GETPOWEROFFACTIVE, 0, &m_savedPower.powerOff, 0);
        m_bPowerSavingSuspended = true;
    }
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, 0, nullptr, 0);
    SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, 0, nullptr, 0);
}

void TForm1::RestorePowerSaving() {
    if (!m_bPowerSavingSuspended) return;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, m_savedPower.screenSaver, nullptr, 0);
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, m_savedPower.lowPower, nullptr, 0);
    SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, m_savedPower.powerOff, nullptr, 0);
    m_bPowerSavingSuspended = false;
}

void TForm1::PlaceStatusWindow() const {
    const std::optional<POINT> place =
        NextToTray(TaskbarRect(), ScreenSize(), {m_pStatus->Width(), m_pStatus->Height()}, 20);
    if (place) m_pStatus->MoveTo(place->x, place->y);
}

bool TForm1::HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
        case kShareConnectedMessage:
            ShowConnected();
            return true;
        case kShareDisConnectedMessage:
            ShowDisConnected();
            return true;
        case kUserNoticeMessage:
            ShowUserNotices();
            return true;
        default:
            return false;
    }
}

void TForm1::ShowConnected() {
    if (m_pStatus == nullptr) return;
    m_pStatus->Label1.SetText(MessageTable(MsgConnected));
    m_pStatus->Label2.SetText(AddressLine());
    TrayIconConnected();
    m_pStatus->DorvelIconConnected();
    m_pStatus->Show();
    TrayIcon1.SetHint(kDorvelVersionCaption + MessageTable(MsgConnectedSuffix));
    m_keepAwake.Hold();
}

void TForm1::ShowDisConnected() {
    if (m_pStatus == nullptr) return;
    m_pStatus->Label1.SetText(MessageTable(MsgDisconnected));
    TrayIconDisConnected();
    m_pStatus->DorvelIconDisConnected();
    m_pStatus->Show();
    TrayIcon1.SetHint(std::string(kDorvelVersionCaption) + ": disconnected with Quon");
    // Another player may still have its share mounted, though the state says idle.
    if (GetMountCount() == 0) m_keepAwake.Release();
}

// Each box is modal; notices posted while one is open are shown from inside its loop.
void TForm1::ShowUserNotices() {
    while (const std::optional<UserNotice> notice = m_notices.NextToShow()) {
        ShowMessageBox(notice->text, notice->caption, BoxIcon::kError);
        m_notices.Closed(*notice);
    }
}
