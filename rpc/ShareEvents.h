#pragma once

// The server core's one way to the application around it (the tray program, the headless front
// end, or a test recorder). The core never waits for a person: NotifyUser only queues a message,
// so no call ever holds the server's call lock while a message is on screen.
enum ShareStateValue : int {
    kShareIdle = 0,
    kShareSharing = 1,
    kShareConnected = 3,
    kShareStopped = 4,
};

class IShareEvents {
  public:
    // The sharing state; MOUNT refuses mounts while it is kShareStopped.
    virtual int ShareState() = 0;
    // A client mounted a share (every successful MNT) / a listed client unmounted.
    virtual void ShareConnected() = 0;
    virtual void ShareDisConnected() = 0;
    // A message for the person at the computer, shown without blocking the caller.
    virtual void NotifyUser(const char* text, const char* caption) = 0;

  protected:
    ~IShareEvents() = default;
};

// The application installs its implementation once at start; until then (and after
// SetShareEvents(nullptr)) events go to a sink that reports sharing and drops everything else.
void SetShareEvents(IShareEvents* events);
IShareEvents& ShareEvents();
