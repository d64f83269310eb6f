# Cross build of the Windows programs with mingw-w64, included by the toolchain file of each
# processor after it has set TOOLCHAIN_PREFIX. The posix thread model gives std::thread;
# QDV_MINGW_THREADS=win32 picks the compilers whose runtime needs no threads library. The runtime
# is linked statically, so the .exe and .dll files need no extra DLLs. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT QDV_MINGW_THREADS)
    set(QDV_MINGW_THREADS posix)
endif()
# The compilers picked here must be the same in the checks CMake builds while configuring.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QDV_MINGW_THREADS)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-${QDV_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${QDV_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_OBJDUMP ${TOOLCHAIN_PREFIX}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emu.sh)
