# The same programs for x86-64: Wine runs them on every machine, also where the kernel runs no
# 32-bit code, so the Windows tests always have a build to run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
