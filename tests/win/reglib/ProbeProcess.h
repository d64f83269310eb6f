// Runs one export in a process of its own (reglib_probe.exe, beside the test) so the test can
// choose the Windows version Wine reports to it and read what the export printed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace regtest {

struct ProbeOutput {
    std::vector<std::string> lines;  // what the export printed
    uint32_t result = 0;
};

// windowsVersion is a Wine version name ("winxp", "win2k" ...); null keeps the prefix's default.
// Empty when the probe did not finish in time or printed no result.
std::optional<ProbeOutput> RunProbe(const char* exportName, const char* windowsVersion = nullptr);

}  // namespace regtest
