#include "ExclusiveVerifiers.h"

#include "HostFs.h"

namespace {

struct VerifierTimes {
    explicit VerifierTimes(uint64_t verf)
        : atime(static_cast<int64_t>(verf >> 32)), mtime(static_cast<int64_t>(verf & 0xFFFFFFFF)) {}
    int64_t atime;
    int64_t mtime;
};

bool TimesHold(PathView path, uint64_t verf) {
    VerifierTimes times(verf);
    hostfs::FileStatus status;
    return hostfs::Fs().Status(path, status) == hostfs::HostError::kNone &&
           status.atime == times.atime && status.mtime == times.mtime;
}

}  // namespace

// Read back, not trusted: FAT takes some times it cannot store and answers success.
void ExclusiveVerifiers::Store(PathView path, uint64_t verf) {
    VerifierTimes times(verf);
    if (hostfs::Fs().SetTimes(path, &times.atime, &times.mtime) == hostfs::HostError::kNone &&
        TimesHold(path, verf)) {
        m_kept.erase(std::string(path.view()));
        return;
    }
    Remember(path, verf);
}

bool ExclusiveVerifiers::Keeps(PathView path, uint64_t verf) const {
    auto kept = m_kept.find(std::string(path.view()));
    if (kept != m_kept.end()) return kept->second.verf == verf;
    return TimesHold(path, verf);
}

void ExclusiveVerifiers::Remember(PathView path, uint64_t verf) {
    m_kept[std::string(path.view())] = Kept{verf, ++m_nSerial};
    m_order.emplace_back(m_nSerial, path.view());
    if (m_order.size() <= kRemembered) return;
    auto oldest = m_kept.find(m_order.front().second);
    if (oldest != m_kept.end() && oldest->second.serial == m_order.front().first) {
        m_kept.erase(oldest);
    }
    m_order.pop_front();
}
