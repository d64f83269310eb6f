// QuonDorvel.exe: the tray program. Start-up order: language, texts, single instance, main
// window, status window, message loop.
#include "InstanceGuard.h"
#include "Mainform.h"
#include "Messages.h"
#include "ServerDaemon.h"
#include "Statusmsg.h"
#include "Win32.h"

namespace {

// The server's threads see the main window from the start of the message loop until every one
// of them has ended, which stopping the server waits for.
class ServerEventsInstalled {
  public:
    explicit ServerEventsInstalled(IShareEvents& events) { SetShareEvents(&events); }
    ServerEventsInstalled(const ServerEventsInstalled&) = delete;
    ServerEventsInstalled& operator=(const ServerEventsInstalled&) = delete;
    ~ServerEventsInstalled() {
        StopServer();
        SetShareEvents(nullptr);
    }
};

void RunTrayProgram(Application& application) {
    ShareSettings settings;
    TForm1 form1(application, settings);
    application.HideWindow();
    TForm_Status status(application);
    form1.AttachStatusWindow(status);
    status.Show();
    const ServerEventsInstalled events(form1);
    application.Run();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ReadLanguageChoice();
    LoadMessages();
    const InstanceGuard guard;
    if (guard.AnotherCopyRuns()) {
        ShowInfo(MessageTable(MsgAlreadyRunning));
        return 0;
    }
    Application application(instance, "QuonDorvel");
    try {
        RunTrayProgram(application);
    } catch (const std::exception& failure) {
        application.ShowException(failure);
    }
    return 0;
}
