#pragma once

#include <mutex>
#include <string>

#include "ShareEvents.h"

// The headless front end's side of the server: the status window's texts become lines on
// standard output, messages for the user lines on standard error.
class ConsoleShareEvents : public IShareEvents {
  public:
    int ShareState() override;
    void ShareConnected() override;
    void ShareDisConnected() override;
    void NotifyUser(const char* text, const char* caption) override;

    void SetState(int state);
    // One status line, written and flushed at once so that a reader of the pipe sees it.
    void Status(const std::string& line);

  private:
    std::mutex m_lock;
    int m_nState = kShareIdle;
};
