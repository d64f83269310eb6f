#include <pthread.h>
#include <csignal>

#include "DaemonSignals.h"

namespace {

sigset_t g_requests;

bool Ignored(int signal) {
    struct sigaction action = {};
    return sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

// Blocked in every thread, the signals stay pending until the main thread takes them, so no
// handler runs on a socket thread and nothing but a wait is needed to see them. A program
// started under nohup keeps ignoring hang-ups.
void HoldRequests() {
    sigemptyset(&g_requests);
    sigaddset(&g_requests, SIGINT);
    sigaddset(&g_requests, SIGTERM);
    if (!Ignored(SIGHUP)) sigaddset(&g_requests, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &g_requests, nullptr);
}

DaemonRequest WaitForRequest() {
    int signal = SIGTERM;
    sigwait(&g_requests, &signal);
    return signal == SIGHUP ? DaemonRequest::kReload : DaemonRequest::kStop;
}
