// Stands in for netsh.exe where the installer is tested: Wine's own accepts every command and
// does nothing, so the command lines are what a test can check. Each is appended, one a line,
// to the file of the recorder's own path followed by ".log".
#include <windows.h>

#include <cstdio>

int main() {
    wchar_t log[MAX_PATH + 4] = {};
    wcscpy(log + GetModuleFileNameW(nullptr, log, MAX_PATH), L".log");
    FILE* file = _wfopen(log, L"a");
    return file == nullptr || std::fprintf(file, "%ls\n", GetCommandLineW()) < 0 ||
           std::fclose(file);
}
