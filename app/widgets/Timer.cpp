#include "Timer.h"

#include "Form.h"

Timer::Timer(Form& owner, UINT interval, bool enabled, std::function<void()> onTimer)
    : m_owner(owner),
      m_id(owner.AddTimer(*this)),
      m_nInterval(interval),
      m_bEnabled(enabled),
      m_onTimer(std::move(onTimer)) {
    if (m_bEnabled) Restart();
}

Timer::~Timer() {
    KillTimer(m_owner.Handle(), m_id);
    m_owner.RemoveTimer(m_id);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == m_bEnabled) return;
    m_bEnabled = enabled;
    if (enabled) {
        Restart();
    } else {
        KillTimer(m_owner.Handle(), m_id);
    }
}

void Timer::SetInterval(UINT interval) {
    m_nInterval = interval;
    if (m_bEnabled) Restart();
}

void Timer::Restart() const {
    SetTimer(m_owner.Handle(), m_id, m_nInterval, nullptr);
}
