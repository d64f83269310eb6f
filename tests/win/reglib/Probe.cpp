// Calls one argument-free export of CorvaneReg.dll and writes what the export printed, then its
// result, to the file named second: the test reads the export's console lines from there.
#include <cstdio>

#include "CorvaneRegDll.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::freopen(argv[2], "w", stdout) == nullptr) return 2;
    const CorvaneRegDll dll;
    const auto call = dll.Find<uint32_t __stdcall()>(argv[1]);
    if (call == nullptr) return 3;
    std::printf("result 0x%08X\n", call());
    return 0;
}
