#include "ConsoleShareEvents.h"

#include <cstdio>

int ConsoleShareEvents::ShareState() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nState;
}

void ConsoleShareEvents::SetState(int state) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_nState = state;
}

void ConsoleShareEvents::ShareConnected() {
    SetState(kShareConnected);
    Status("Connected with Quon Dorvel ");
}

void ConsoleShareEvents::ShareDisConnected() {
    SetState(kShareIdle);
    Status("Disconnected with Quon Dorvel ");
}

void ConsoleShareEvents::NotifyUser(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

void ConsoleShareEvents::Status(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
