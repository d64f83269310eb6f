#pragma once

#include <cstdint>
#include <string>

#include "PathText.h"

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

// The part the host refused; the rest after it was not tried.
enum class ChangeRefusal { kNone, kSize, kTimes, kMode };

ChangeRefusal ApplyAttributeChanges(PathView path, const AttributeChanges& changes);
