// The 32-bit QuonDorvel.exe runs on Windows XP, whose kernel32 has no GetTickCount64. The
// threads library imports it (for its timed waits), and one missing import keeps a program from
// starting at all. This file, linked into the 32-bit program only, stands in for that import:
// Vista and later answer through their own GetTickCount64; XP through GetTickCount, with its
// wraps every 49.7 days counted.
#include "Win32.h"

namespace {

using TickCount64Function = ULONGLONG(WINAPI*)();

// The last answer: the 32-bit count in the low half, its wraps so far in the high half.
volatile LONGLONG g_lastTicks = 0;

ULONGLONG WINAPI CountedTicks() {
    for (;;) {
        const LONGLONG last = InterlockedCompareExchange64(&g_lastTicks, 0, 0);
        const ULONGLONG now = GetTickCount();
        ULONGLONG ticks = (static_cast<ULONGLONG>(last) & ~0xFFFFFFFFULL) | now;
        if (ticks < static_cast<ULONGLONG>(last)) ticks += 0x100000000ULL;
        if (InterlockedCompareExchange64(&g_lastTicks, static_cast<LONGLONG>(ticks), last) ==
            last) {
            return ticks;
        }
    }
}

ULONGLONG WINAPI TickCount64() {
    static const auto system = reinterpret_cast<TickCount64Function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    return system != nullptr ? system() : CountedTicks();
}

}  // namespace

// The import table's slot for the function, by the name the linker looks for; defined here, it
// takes the place of kernel32's.
extern "C" const TickCount64Function tickCount64Import __asm__("__imp__GetTickCount64@0") =
    TickCount64;
