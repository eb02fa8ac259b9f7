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

# The target's libraries (libtinfo among them) come from its own Debian
# packages, unpacked into build/sysroot/<arch> by scripts/sysroot. Headers and
# libraries are looked up there only, programs (the host's tools) on the host
# only. The C library and the C++ library are the cross compiler's own.
set(ZIX_SYSROOT ${CMAKE_CURRENT_LIST_DIR}/../build/sysroot/${ZIX_DEB_ARCH})
cmake_path(NORMAL_PATH ZIX_SYSROOT)
if(NOT EXISTS ${ZIX_SYSROOT}/.packages)
    message(FATAL_ERROR "${ZIX_SYSROOT} is missing: scripts/setup ${ZIX_DEB_ARCH} unpacks it")
endif()
set(CMAKE_LIBRARY_ARCHITECTURE ${ZIX_CROSS_MULTIARCH})
set(CMAKE_FIND_ROOT_PATH ${ZIX_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${ZIX_SYSROOT}/usr/lib/${ZIX_CROSS_MULTIARCH}/pkgconfig")

# A sysroot whose C library is newer than the cross compiler's own (Debian
# 13's riscv64 libraries on Debian 12) gives ZIX_SYSROOT_LINK: the link
# options that put its C library, the one the programs run with, in place of
# the compiler's (CMakeLists.txt applies them). Its start files, libc and
# libm come first (-B), and --sysroot points the linker scripts in it at its
# own files. The compiler's headers stay: a program built against older
# headers runs on the newer library.
file(STRINGS ${ZIX_SYSROOT}/.packages ZIX_SYSROOT_LIBC REGEX "^libc6 ")
string(REGEX REPLACE "^libc6 ([0-9.]+).*" "\\1" ZIX_SYSROOT_LIBC "${ZIX_SYSROOT_LIBC}")
execute_process(COMMAND dpkg-query -W -f=\${Version} libc6-dev-${ZIX_DEB_ARCH}-cross
                OUTPUT_VARIABLE ZIX_CROSS_LIBC ERROR_QUIET)
string(REGEX REPLACE "^([0-9.]+).*" "\\1" ZIX_CROSS_LIBC "${ZIX_CROSS_LIBC}")
if(ZIX_SYSROOT_LIBC VERSION_GREATER ZIX_CROSS_LIBC)
    set(ZIX_SYSROOT_LINK --sysroot=${ZIX_SYSROOT} -B${ZIX_SYSROOT}/usr/lib/${ZIX_CROSS_MULTIARCH}/)
endif()

# 64-bit time_t and off_t on the 32-bit targets too, as on the 64-bit ones:
# the clock that seeds the generator keeps working after January 2038, when
# 32-bit seconds run out.
if(ZIX_CROSS_32_BIT)
    set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
    set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
endif()

# The programs run under the target's user-mode emulator, which needs no
# change to the machine's settings, with the sysroot as the root it finds the
# loader and the libraries in. ZIX_QEMU OFF runs them directly (the i386
# program where the kernel runs it and the system has its i386 libraries).
if(NOT DEFINED ZIX_QEMU OR ZIX_QEMU)
    find_program(ZIX_QEMU_PROGRAM ${ZIX_CROSS_QEMU} REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZIX_QEMU_PROGRAM} -L ${ZIX_SYSROOT})
endif()
