#include "RecordingEvents.h"

RecordingEvents::RecordingEvents() {
    SetShareEvents(this);
}

RecordingEvents::~RecordingEvents() {
    SetShareEvents(nullptr);
}

int RecordingEvents::ShareState() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nState;
}

void RecordingEvents::ShareConnected() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_nConnected;
    m_nState = kShareConnected;
}

void RecordingEvents::ShareDisConnected() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_nDisconnected;
    m_nState = kShareIdle;
}

void RecordingEvents::NotifyUser(const char* text, const char* caption) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_messages.emplace_back(text, caption);
    }
    m_changed.notify_all();
}

void RecordingEvents::SetState(int state) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_nState = state;
}

int RecordingEvents::Connected() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nConnected;
}

int RecordingEvents::Disconnected() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nDisconnected;
}

std::vector<std::pair<std::string, std::string>> RecordingEvents::Messages() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_messages;
}

bool RecordingEvents::WaitForMessages(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, limit, [&] { return m_messages.size() >= count; });
}
