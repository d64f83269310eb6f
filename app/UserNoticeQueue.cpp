#include "UserNoticeQueue.h"

#include <algorithm>

void UserNoticeQueue::Push(UserNotice notice) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pending.push_back(std::move(notice));
}

std::optional<UserNotice> UserNoticeQueue::NextToShow() {
    std::lock_guard<std::mutex> lock(m_lock);
    while (!m_pending.empty()) {
        UserNotice notice = std::move(m_pending.front());
        m_pending.pop_front();
        if (std::find(m_open.begin(), m_open.end(), notice) == m_open.end()) {
            m_open.push_back(notice);
            return notice;
        }
    }
    return std::nullopt;
}

void UserNoticeQueue::Closed(const UserNotice& notice) {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto open = std::find(m_open.begin(), m_open.end(), notice);
    if (open != m_open.end()) m_open.erase(open);
}
