// Stands in for netsh.exe in the installer tests' prefix: Wine's own netsh accepts every command
// and does nothing, so what a test can check of the firewall is the command lines it was given.
// Each is appended, one a line, to the file of the recorder's own path followed by ".log".
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

int main() {
    wchar_t log[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, log, MAX_PATH - 4);
    wcscpy(log + length, L".log");
    if (FILE* file = _wfopen(log, L"a")) {
        std::fprintf(file, "%ls\n", GetCommandLineW());
        std::fclose(file);
    }
    return 0;
}
