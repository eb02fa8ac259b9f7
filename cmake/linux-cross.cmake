# Shared by the toolchain files of the Linux programs that are cross-built
# with Debian's cross compilers. The including file sets:
#   ZIX_CROSS_TRIPLET    the compilers' prefix (aarch64-linux-gnu)
#   ZIX_CROSS_MULTIARCH  the target's multiarch folder (aarch64-linux-gnu)
#   ZIX_CROSS_QEMU       the user-mode emulator that runs its programs
#   ZIX_CROSS_32_BIT     ON for a 32-bit target
#   ZIX_DEB_ARCH         the target's Debian architecture (arm64)
#   CMAKE_SYSTEM_PROCESSOR
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${ZIX_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ZIX_CROSS_TRIPLET}-g++)

# The target's libraries (libtinfo among them) come from Debian's packages
# for that architecture, in /usr/lib/<multiarch> (dpkg multiarch), or from
# the same package unpacked into build/sysroot/<arch> where dpkg cannot
# install it (scripts/setup says which). Headers and libraries are looked up
# there only, programs (the host's tools) on the host only.
set(CMAKE_LIBRARY_ARCHITECTURE ${ZIX_CROSS_MULTIARCH})
set(CMAKE_FIND_ROOT_PATH ${CMAKE_CURRENT_LIST_DIR}/../build/sysroot/${ZIX_DEB_ARCH} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${ZIX_CROSS_MULTIARCH}/pkgconfig:/usr/share/pkgconfig")

# 64-bit time_t and off_t on the 32-bit targets too, as on the 64-bit ones:
# the clock that seeds the generator keeps working after January 2038, when
# 32-bit seconds run out.
if(ZIX_CROSS_32_BIT)
    set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
    set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
endif()

# The programs run under the target's user-mode emulator, which needs no
# change to the machine's settings; the target's loader and libraries are
# found where dpkg multiarch put them. ZIX_QEMU OFF runs them directly (the
# i386 program where the kernel runs it).
if(NOT DEFINED ZIX_QEMU OR ZIX_QEMU)
    find_program(ZIX_QEMU_PROGRAM ${ZIX_CROSS_QEMU} REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZIX_QEMU_PROGRAM})
endif()
