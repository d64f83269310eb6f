#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "Form.h"
#include "Settings.h"
#include "ShareEvents.h"
#include "Statusmsg.h"
#include "UserNoticeQueue.h"

// The hidden main window. Other programs find it by its class "TForm1" and caption
// "DorvelMainForm" and close it to end the program. It is also the tray program's side of the
// server: the server's threads reach the windows only through its message queue.
class TForm1 : public Form, public IShareEvents {
  public:
    // Loads the settings in force; a registry error there ends the program's start.
    TForm1(Application& application, ShareSettings& settings);

    // The status window comes after the main window at start-up.
    void AttachStatusWindow(TForm_Status& status) { m_pStatus = &status; }

    // Server threads: the state is stored at once, the window work is posted.
    int ShareState() override { return m_nShareState.load(); }
    void ShareConnected() override;
    void ShareDisConnected() override;
    void NotifyUser(const char* text, const char* caption) override;

    // " IP : " and the address being served.
    std::string AddressLine() const;

  private:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void ShowConnected() const;
    void ShowDisConnected() const;
    void ShowUserNotices();

    ShareSettings& m_settings;
    TForm_Status* m_pStatus = nullptr;
    std::atomic<int32_t> m_nShareState{kShareIdle};
    UserNoticeQueue m_notices;
};
