#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <utility>

#include "PathText.h"

// Where an exclusive create keeps its verifier, so that a retransmission finds its own file
// again (RFC 1813 3.3.8). First in the file's access and modification seconds, one 32-bit half
// each, where it survives a restart of ours. Where the host cannot keep such times (FAT and exFAT
// store nothing before 1980, modification times in steps of two seconds and access times as a
// date, and Linux clients' verifiers are 1970 times), in memory, keyed by the path: a few
// thousand creates, long after any retransmission.
class ExclusiveVerifiers {
  public:
    static constexpr size_t kRemembered = 4096;

    // Marks the new file at `path` as made by the create with `verf`.
    void Store(PathView path, uint64_t verf);
    // Whether the file at `path` was made by the create with `verf`.
    bool Keeps(PathView path, uint64_t verf) const;

  private:
    struct Kept {
        uint64_t verf = 0;
        uint64_t serial = 0;  // when it was remembered
    };

    void Remember(PathView path, uint64_t verf);

    std::unordered_map<std::string, Kept> m_kept;
    // Remembered paths, oldest first, with the serial they were remembered under: a path stored
    // again since is not forgotten for its older turn.
    std::deque<std::pair<uint64_t, std::string>> m_order;
    uint64_t m_nSerial = 0;
};
