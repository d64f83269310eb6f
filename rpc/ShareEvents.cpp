#include "ShareEvents.h"

#include <atomic>

namespace {

class QuietShareEvents : public IShareEvents {
  public:
    int ShareState() override { return kShareSharing; }
    void ShareConnected() override {}
    void ShareDisConnected() override {}
    void NotifyUser(const char*, const char*) override {}
};

QuietShareEvents g_quiet;
std::atomic<IShareEvents*> g_events{nullptr};

}  // namespace

void SetShareEvents(IShareEvents* events) {
    g_events.store(events);
}

IShareEvents& ShareEvents() {
    IShareEvents* events = g_events.load();
    return events != nullptr ? *events : g_quiet;
}
