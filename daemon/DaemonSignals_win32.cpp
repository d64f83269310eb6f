#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "DaemonSignals.h"

namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void RequestStop(int) {
    g_stopRequested = true;
}

}  // namespace

// The console's Ctrl+C arrives as a signal on a thread of its own; Windows has no hang-up that
// could ask for a reload.
void HoldRequests() {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
}

DaemonRequest WaitForRequest() {
    while (!g_stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return DaemonRequest::kStop;
}
