#include "ProbeProcess.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "Win32.h"

namespace regtest {

namespace {

constexpr DWORD kProbeTimeoutMs = 20000;
const char kProbeDefaults[] = "Software\\Wine\\AppDefaults\\reglib_probe.exe";

// Wine reads a program's Windows version from its AppDefaults key when the program starts.
class ScopedWindowsVersion {
  public:
    explicit ScopedWindowsVersion(const char* version) {
        RegDeleteTreeA(HKEY_CURRENT_USER, kProbeDefaults);
        if (version == nullptr) return;
        RegSetKeyValueA(HKEY_CURRENT_USER, kProbeDefaults, "Version", REG_SZ, version,
                        std::strlen(version) + 1);
    }
    ScopedWindowsVersion(const ScopedWindowsVersion&) = delete;
    ScopedWindowsVersion& operator=(const ScopedWindowsVersion&) = delete;
    ~ScopedWindowsVersion() { RegDeleteTreeA(HKEY_CURRENT_USER, kProbeDefaults); }
};

class ChildProcess {
  public:
    explicit ChildProcess(std::string commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &m_info);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (m_info.hProcess == nullptr) return;
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
    }

    bool Finish(DWORD timeoutMs) const {
        if (m_info.hProcess == nullptr) return false;
        if (WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0) return true;
        TerminateProcess(m_info.hProcess, 1);
        return false;
    }

  private:
    PROCESS_INFORMATION m_info{};
};

std::string Beside(const char* fileName) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string self(path);
    return self.substr(0, self.rfind('\\') + 1) + fileName;
}

std::string TempFileName() {
    char folder[MAX_PATH] = {};
    char name[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "rgp", 0, name);
    return name;
}

std::optional<ProbeOutput> ReadOutput(const std::string& path) {
    ProbeOutput output;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        output.lines.push_back(line);
    }
    unsigned result = 0;
    if (output.lines.empty() ||
        std::sscanf(output.lines.back().c_str(), "result 0x%x", &result) != 1) {
        return std::nullopt;
    }
    output.lines.pop_back();
    output.result = result;
    return output;
}

}  // namespace

std::optional<ProbeOutput> RunProbe(const char* exportName, const char* windowsVersion) {
    const ScopedWindowsVersion version(windowsVersion);
    const std::string output = TempFileName();
    const ChildProcess probe("\"" + Beside("reglib_probe.exe") + "\" " + exportName + " \"" +
                             output + "\"");
    std::optional<ProbeOutput> result;
    if (probe.Finish(kProbeTimeoutMs)) result = ReadOutput(output);
    std::remove(output.c_str());
    return result;
}

}  // namespace regtest
