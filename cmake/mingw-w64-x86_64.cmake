# Cross-building the Windows programs (64-bit x86) on Debian with mingw-w64's POSIX-thread
# compiler, so that std::thread and std::mutex work. The C++ runtime, libgcc and winpthread are
# linked statically: the programs run alone, without DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QELM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QELM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QELM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QELM_MINGW_PREFIX}-windres)
set(CMAKE_OBJCOPY ${QELM_MINGW_PREFIX}-objcopy CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QELM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# No CMAKE_CROSSCOMPILING_EMULATOR: a Windows program runs only under wine set up by
# tests/windows/wine-env.sh, never directly from the build (which would let wine pick its own
# COM ports).
