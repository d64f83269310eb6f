#pragma once

#include <cstdint>
#include <string>

#include "HostFs.h"

// What a client asks to change about a file, in terms both NFS versions share. Each part
// applies only when asked for.
enum class TimeChange { kKeep, kServerTime, kClientTime };

struct TimeSetting {
    TimeChange change = TimeChange::kKeep;
    int64_t seconds = 0;  // with kClientTime
};

struct AttributeChanges {
    bool setMode = false;
    uint32_t mode = 0;  // only the owner's read (0400) and write (0200) bits reach the host
    bool setSize = false;
    uint64_t size = 0;
    TimeSetting atime;
    TimeSetting mtime;
};

// Why the host refused a change, and whether that was the mode's; the changes after the refused
// one were not tried.
struct ChangeRefusal {
    hostfs::HostError error = hostfs::HostError::kNone;
    bool mode = false;
};

ChangeRefusal ApplyAttributeChanges(PathView path, const AttributeChanges& changes);
