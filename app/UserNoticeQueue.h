#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct UserNotice {
    std::string text;
    std::string caption;
    bool operator==(const UserNotice& other) const {
        return text == other.text && caption == other.caption;
    }
};

// Messages for the person at the computer, raised on the server's threads and shown in boxes
// by the user-interface thread. A failing disk or network raises the same message again and
// again; while its box is open, further copies of it are dropped, so there is at most one box
// of each kind (text and caption) at a time.
class UserNoticeQueue {
  public:
    // Any thread; never waits for the user-interface thread.
    void Push(UserNotice notice);
    // User-interface thread: the next notice whose kind has no open box, which counts as open
    // from now until Closed.
    std::optional<UserNotice> NextToShow();
    void Closed(const UserNotice& notice);

  private:
    std::mutex m_lock;
    std::deque<UserNotice> m_pending;
    std::vector<UserNotice> m_open;
};
