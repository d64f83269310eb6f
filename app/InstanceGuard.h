#pragma once

#include <vector>

#include "Win32.h"

// One copy of the program at a time on the PC, for as long as the guard lives. A copy in another
// session (another user signed in) or at another integrity level (one started elevated, whose
// mutex a normal copy may not even open) counts as running too: both would serve the same ports.
// The session's mutex "QuonDorvel" is the one earlier versions look for; its twin in the global
// namespace reaches across sessions.
class InstanceGuard {
  public:
    InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;
    ~InstanceGuard();

    bool AnotherCopyRuns() const { return m_bAnotherCopyRuns; }

  private:
    struct Mutex {
        HANDLE handle;
        bool owned;
    };

    void Take(const char* name);

    std::vector<Mutex> m_mutexes;
    bool m_bAnotherCopyRuns = false;
};
