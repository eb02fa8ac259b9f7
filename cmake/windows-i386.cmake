# Cross-building the Windows i386 program with Debian's mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZIX_MINGW_PREFIX i686-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# of this GCC lacks. Its winpthread library is linked in statically below.
set(CMAKE_C_COMPILER ${ZIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZIX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything from the toolchain's own libraries goes into the executable, so
# the program needs only the DLLs every Windows ships (kernel32, msvcrt, ...).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests of the Windows build run under wine, in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wineprefix")
