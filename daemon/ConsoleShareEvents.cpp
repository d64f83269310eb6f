#include "ConsoleShareEvents.h"

#include <cstdio>

#include "StatusTexts.h"

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
    Status(MessageText(MsgConnected, false));
}

void ConsoleShareEvents::ShareDisConnected() {
    SetState(kShareIdle);
    Status(MessageText(MsgDisconnected, false));
}

void ConsoleShareEvents::NotifyUser(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

void ConsoleShareEvents::Status(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
