#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ShareEvents.h"

// Records what the core tells the application, for tests; installs itself as the process's
// events for its lifetime.
class RecordingEvents : public IShareEvents {
  public:
    RecordingEvents();
    ~RecordingEvents();

    int ShareState() override;
    void ShareConnected() override;
    void ShareDisConnected() override;
    void NotifyUser(const char* text, const char* caption) override;

    void SetState(int state);
    int Connected();
    int Disconnected();
    std::vector<std::pair<std::string, std::string>> Messages();
    // Waits (bounded) until at least `count` messages have arrived.
    bool WaitForMessages(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));

  private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_nState = kShareSharing;
    int m_nConnected = 0;
    int m_nDisconnected = 0;
    std::vector<std::pair<std::string, std::string>> m_messages;
};
