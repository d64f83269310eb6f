#include "Mainform.h"

#include "MessageBox.h"
#include "Messages.h"
#include "ServerDaemon.h"
#include "WideText.h"

namespace {

enum ServerMessage : UINT {
    kShareConnectedMessage = WM_APP + 1,
    kShareDisConnectedMessage,
    kUserNoticeMessage,
};

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
    return design;
}

}  // namespace

TForm1::TForm1(Application& application, ShareSettings& settings)
    : Form(application, MainDesign()), m_settings(settings) {
    m_settings.LoadFoldersInForce();
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

std::string TForm1::AddressLine() const {
    const std::string& selected = m_settings.selectedAddress;
    if (!selected.empty() && selected != "All") return " IP : " + selected;
    const net::HostEntry* host = ServerHostEntry();
    return " IP : " + (host != nullptr && !host->addresses.empty()
                           ? net::AddressText(host->addresses.front())
                           : std::string());
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

void TForm1::ShowConnected() const {
    if (m_pStatus == nullptr) return;
    m_pStatus->Label1.SetText(MessageTable(MsgConnected));
    m_pStatus->Label2.SetText(AddressLine());
    m_pStatus->DorvelIconConnected();
    m_pStatus->Show();
}

void TForm1::ShowDisConnected() const {
    if (m_pStatus == nullptr) return;
    m_pStatus->Label1.SetText(MessageTable(MsgDisconnected));
    m_pStatus->DorvelIconDisConnected();
    m_pStatus->Show();
}

// Each box is modal; notices posted while one is open are shown from inside its loop.
void TForm1::ShowUserNotices() {
    while (const std::optional<UserNotice> notice = m_notices.NextToShow()) {
        ShowMessageBox(notice->text, notice->caption, BoxIcon::kError);
        m_notices.Closed(*notice);
    }
}
