#pragma once

// What the outside asks of a running quondorveld: Ctrl+C and SIGTERM ask it to stop, SIGHUP (on
// POSIX) to read its settings again. One implementation per platform (DaemonSignals_posix.cpp,
// DaemonSignals_win32.cpp).
enum class DaemonRequest { kStop, kReload };

// Called first thing in main, before any thread exists, so that every thread the program starts
// leaves these signals to WaitForRequest.
void HoldRequests();

// Waits for the next request.
DaemonRequest WaitForRequest();
