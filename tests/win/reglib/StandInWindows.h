// Top-level windows with the classes and captions of the maker's applications, living on a
// thread with its own message loop the way the real programs' main windows do. They count the
// close messages they get, and go away on a close only when asked to, so a test can see every
// message sent.
//
// They live on a desktop of the test's own, which the constructing thread joins too (window
// lookups only see the caller's desktop). The session's default desktop may belong to an
// explorer that a display-less program started; ours gets one started by us, on our X server.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "Win32.h"

namespace regtest {

struct StandIn {
    const char* className;
    const wchar_t* caption;
    // What the window answers to WM_CLOSE, so the sender's result shows who got the message.
    LRESULT closeResult;
    // Destroys itself on WM_CLOSE, as a real main window does.
    bool goesAway = false;
};

class StandInWindows {
  public:
    explicit StandInWindows(std::vector<StandIn> windows);
    StandInWindows(const StandInWindows&) = delete;
    StandInWindows& operator=(const StandInWindows&) = delete;
    ~StandInWindows();

    bool Ready() const { return m_ready; }
    // WM_CLOSE messages with both parameters 0, as an application's own close button sends.
    int Closes(size_t window) const { return m_records[window].closes; }

    struct Record {
        LRESULT closeResult = 0;
        bool goesAway = false;
        std::atomic<int> closes{0};
    };

  private:
    void Run(std::vector<StandIn> windows);

    std::vector<Record> m_records;
    std::atomic<DWORD> m_threadId{0};
    bool m_ready = false;
    std::thread m_thread;
};

}  // namespace regtest
