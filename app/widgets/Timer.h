#pragma once

#include <functional>

#include "Win32.h"

class Form;

// A window timer of a form. Like the designer's timer component it runs from its creation when
// created enabled, and enabling a running timer does not restart it; changing the interval of a
// running timer does.
class Timer {
  public:
    Timer(Form& owner, UINT interval, bool enabled, std::function<void()> onTimer);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    void SetEnabled(bool enabled);
    void SetInterval(UINT interval);

    // Called by the form for the timer's WM_TIMER.
    void Fire() const { m_onTimer(); }

  private:
    void Restart() const;

    Form& m_owner;
    UINT_PTR m_id;
    UINT m_nInterval;
    bool m_bEnabled;
    std::function<void()> m_onTimer;
};
