#include <pthread.h>
#include <csignal>
#include <initializer_list>

#include "DaemonSignals.h"

namespace {

sigset_t Requests() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    return set;
}

}  // namespace

// Blocked in every thread, the signals stay pending until the main thread takes them, so no
// handler runs on a socket thread and nothing but a wait is needed to see them.
void HoldRequests() {
    const sigset_t set = Requests();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

DaemonRequest WaitForRequest() {
    const sigset_t set = Requests();
    int signal = SIGTERM;
    sigwait(&set, &signal);
    return signal == SIGHUP ? DaemonRequest::kReload : DaemonRequest::kStop;
}
