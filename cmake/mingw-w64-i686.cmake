# What ships for Windows: 32-bit x86. Installers run as 32-bit processes, which cannot load a
# 64-bit DLL, and 32-bit programs run on every Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
