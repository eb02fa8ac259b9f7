# Cross-building a Windows program with Debian's mingw-w64. Included by the
# toolchain file of each Windows deliverable, which sets ZIX_WINDOWS_ARCH
# (i386 or x86_64) first.
set(CMAKE_SYSTEM_NAME Windows)
if(ZIX_WINDOWS_ARCH STREQUAL "x86_64")
    set(CMAKE_SYSTEM_PROCESSOR x86_64)
    set(ZIX_MINGW_PREFIX x86_64-w64-mingw32)
    set(ZIX_WINE_ARCH win64)
else()
    set(CMAKE_SYSTEM_PROCESSOR i686)
    set(ZIX_MINGW_PREFIX i686-w64-mingw32)
    set(ZIX_WINE_ARCH win32)
endif()

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
# No link time in the program's header: two builds of one commit give the
# same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")

# Tests that run the programs do so under wine, in a prefix of the build's
# own. Where this wine cannot run here (ZIX_WINE OFF: wine32 on a kernel
# without 32-bit execution), only the checks that read the built files run.
if(NOT DEFINED ZIX_WINE OR ZIX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        "${CMAKE_CURRENT_LIST_DIR}/wine-run;${ZIX_WINE_ARCH};${CMAKE_BINARY_DIR}/wineprefix")
endif()
