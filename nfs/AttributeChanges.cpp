#include "AttributeChanges.h"

#include <ctime>

#include "HostFs.h"

namespace {

// The time to set, or null to leave it.
const int64_t* HostTime(const TimeSetting& setting, int64_t& seconds) {
    switch (setting.change) {
        case TimeChange::kKeep:
            return nullptr;
        case TimeChange::kServerTime:
            seconds = static_cast<int64_t>(std::time(nullptr));
            return &seconds;
        case TimeChange::kClientTime:
            seconds = setting.seconds;
            return &seconds;
    }
    return nullptr;
}

}  // namespace

// Size and times come before the mode, as a mode without the write bit would make the host
// refuse them. Clients empty a file they overwrite by setting its size, so answering OK without
// doing it would leave stale bytes behind.
ChangeRefusal ApplyAttributeChanges(PathView path, const AttributeChanges& changes) {
    using hostfs::HostError;
    hostfs::IHostFs& fs = hostfs::Fs();
    HostError error = changes.setSize ? fs.SetSize(path, changes.size) : HostError::kNone;
    if (error != HostError::kNone) return {error};
    int64_t atime = 0;
    int64_t mtime = 0;
    const int64_t* newAtime = HostTime(changes.atime, atime);
    const int64_t* newMtime = HostTime(changes.mtime, mtime);
    if (newAtime != nullptr || newMtime != nullptr) error = fs.SetTimes(path, newAtime, newMtime);
    if (error != HostError::kNone) return {error};
    if (changes.setMode) {
        error = fs.SetPermissions(path, (changes.mode & 0400) != 0, (changes.mode & 0200) != 0);
    }
    return {error, error != HostError::kNone};
}
