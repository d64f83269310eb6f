#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Form.h"
#include "IconList.h"
#include "KeepAwake.h"
#include "PopupMenu.h"
#include "Settings.h"
#include "ShareEvents.h"
#include "Statusmsg.h"
#include "Timer.h"
#include "TrayIcon.h"
#include "UserNoticeQueue.h"

class QDV_Setting;

// What the main window asks of the shell and of the power manager; tests replace both to refuse
// and count the calls.
struct SystemCalls {
    TrayShell tray;
    ExecutionStateCall executionState = SetThreadExecutionState;
};

// The hidden main window. Other programs find it by its class "TForm1" and caption
// "DorvelMainForm" and close it to end the program. It owns the tray icon and its menu, starts
// and stops the server, and is the tray program's side of the server: the server's threads
// reach the windows only through its message queue.
class TForm1 : public Form, public IShareEvents {
    // The display's power settings as the user had them before sharing switched them off.
    struct PowerSettings {
        BOOL screenSaver = FALSE;
        BOOL lowPower = FALSE;
        BOOL powerOff = FALSE;
    };

    // The state comes before the parts: building the tray icon already lets messages in.
    ShareSettings& m_settings;
    TForm_Status* m_pStatus = nullptr;
    std::unique_ptr<QDV_Setting> m_pSetting;
    std::atomic<int32_t> m_nShareState{kShareIdle};
    UserNoticeQueue m_notices;
    PowerSettings m_savedPower;
    bool m_bPowerSavingSuspended = false;
    KeepAwake m_keepAwake;

  public:
    // Loads the settings in force; a registry error there ends the program's start.
    TForm1(Application& application, ShareSettings& settings, SystemCalls calls = {});
    ~TForm1() override;

    // The status window comes after the main window at start-up.
    void AttachStatusWindow(TForm_Status& status) { m_pStatus = &status; }

    // Server threads: the state is stored at once, the window work is posted.
    int ShareState() override { return m_nShareState.load(); }
    void ShareConnected() override;
    void ShareDisConnected() override;
    void NotifyUser(const char* text, const char* caption) override;

    void N1Click();  // Start Sharing; also the auto-start's and the Configuration OK's
    void N2Click();  // Stop Sharing
    void N3Click();  // Settings
    void N4Click();  // Exit
    void Timer_AutoStartTimer();
    void TrayIcon1MouseDown(UINT buttonDown);

    void TrayIconConnected();
    void TrayIconDisConnected();
    // " IP : " and the address being served.
    std::string AddressLine() const;
    void SuspendPowerSaving();
    void RestorePowerSaving();
    // Whether the system is kept from sleeping for a mounted share.
    bool KeepsAwake() const { return m_keepAwake.Held(); }
    void PlaceStatusWindow() const;

    IconList ImageList1;  // picture 0: sharing off or no player; 1: sharing on, player connected
    PopupMenu PopupMenu1;
    MenuItem& N1;
    MenuItem& N2;
    MenuItem& N3;
    MenuItem& N4;
    TrayIcon TrayIcon1;
    Timer Timer_AutoStart;

  private:
    void FormCreate();
    void FormClose() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void SetTrayPicture(int index);
    void ReportStarted();
    void ReportStartFailure(int32_t result);
    void ShowConnected();
    void ShowDisConnected();
    void ShowUserNotices();
};
