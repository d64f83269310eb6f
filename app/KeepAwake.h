#pragma once

#include <functional>

#include "Win32.h"

// The power manager's call for the thread's execution state (SetThreadExecutionState), which
// tests replace to refuse and count the requests.
using ExecutionStateCall = std::function<EXECUTION_STATE(EXECUTION_STATE)>;

// Keeps the PC from going to sleep while a player has a share mounted: a film plays for hours
// without a key pressed at the PC. Kept state: one flag, whether the system holds our request.
// The request belongs to the thread that made it (the user-interface thread) and ends when it
// is released or that thread ends. A refused request is made again at the next Hold. Windows XP
// has the call; the display may still go dark, which the display's own settings decide.
class KeepAwake {
  public:
    explicit KeepAwake(ExecutionStateCall call) : m_call(std::move(call)) {}
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;
    ~KeepAwake() { Release(); }

    void Hold();
    void Release();
    bool Held() const { return m_bHeld; }

  private:
    ExecutionStateCall m_call;
    bool m_bHeld = false;
};
