#include "RecordMarking.h"

#include <cstring>

namespace {

constexpr uint32_t kLastFragment = 0x80000000u;

uint32_t LoadWord(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void StoreWord(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

enum class Extent { kComplete, kIncomplete, kTooLong };

// Walks the fragments of the record that starts at `start`; on kComplete, `end` is the offset
// after its last fragment.
Extent MeasureRecord(const uint8_t* buffer, uint32_t length, uint32_t capacity, uint32_t start,
                     uint32_t& end) {
    uint32_t position = start;
    for (;;) {
        if (length - position < 4) return Extent::kIncomplete;
        uint32_t mark = LoadWord(buffer + position);
        const bool last = (mark & kLastFragment) != 0;
        uint64_t needed = uint64_t{position - start} + 4 + (mark & ~kLastFragment);
        // A fragment that is not the last needs room for at least the next mark behind it.
        if (needed + (last ? 0 : 4) > capacity) return Extent::kTooLong;
        if (start + needed > length) return Extent::kIncomplete;
        position = static_cast<uint32_t>(start + needed);
        if (last) {
            end = position;
            return Extent::kComplete;
        }
    }
}

// Moves the fragments of a complete record together behind one mark at `target`; the result
// never lies after the source, so the bytes not yet read stay intact.
uint32_t JoinRecord(uint8_t* buffer, uint32_t start, uint32_t target) {
    uint32_t source = start;
    uint32_t write = target + 4;
    uint32_t mark;
    do {
        mark = LoadWord(buffer + source);
        uint32_t size = mark & ~kLastFragment;
        std::memmove(buffer + write, buffer + source + 4, size);
        write += size;
        source += 4 + size;
    } while ((mark & kLastFragment) == 0);
    StoreWord(buffer + target, kLastFragment | (write - target - 4));
    return write;
}

}  // namespace

RecordScan JoinCompleteRecords(uint8_t* buffer, uint32_t length, uint32_t capacity) {
    RecordScan scan;
    for (;;) {
        uint32_t end = 0;
        Extent extent = MeasureRecord(buffer, length, capacity, scan.consumed, end);
        if (extent == Extent::kTooLong) scan.tooLong = true;
        if (extent != Extent::kComplete) return scan;
        scan.joinedLength = JoinRecord(buffer, scan.consumed, scan.joinedLength);
        scan.consumed = end;
    }
}
