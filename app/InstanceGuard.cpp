#include "InstanceGuard.h"

namespace {

const char* const kMutexNames[] = {"QuonDorvel", "Global\\QuonDorvel"};

// A mutex that opens, or that exists but refuses us, is a running copy's. A handle that opened
// is left for the system to close at our exit.
bool HeldByAnotherCopy(const char* name) {
    return OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name) != nullptr ||
           GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

InstanceGuard::InstanceGuard() {
    for (const char* name : kMutexNames) {
        if (HeldByAnotherCopy(name)) {
            m_bAnotherCopyRuns = true;
            return;
        }
    }
    for (const char* name : kMutexNames) Take(name);
}

// A copy may have made the mutex since we looked, and holds it then. Where the system has one
// namespace for both names the second is the first again, which we hold already; one left behind
// by a copy that ended without releasing it is abandoned, and the wait hands it to us. A mutex
// that cannot be made for another reason leaves the program to run without it.
void InstanceGuard::Take(const char* name) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    if (mutex == nullptr) {
        m_bAnotherCopyRuns = m_bAnotherCopyRuns || GetLastError() == ERROR_ACCESS_DENIED;
        return;
    }
    const bool owned =
        GetLastError() != ERROR_ALREADY_EXISTS || WaitForSingleObject(mutex, 0) != WAIT_TIMEOUT;
    m_mutexes.push_back({mutex, owned});
    m_bAnotherCopyRuns = m_bAnotherCopyRuns || !owned;
}

InstanceGuard::~InstanceGuard() {
    for (const Mutex& mutex : m_mutexes) {
        if (mutex.owned) ReleaseMutex(mutex.handle);
        CloseHandle(mutex.handle);
    }
}
