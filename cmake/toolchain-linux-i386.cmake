# The i386 Linux program, built on an x86-64 Debian machine with the
# multilib compilers (gcc-multilib, g++-multilib) and the i386 libraries of
# the multiarch layout (libncurses-dev:i386 after dpkg --add-architecture i386).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# 64-bit time_t and off_t, as on the 64-bit build: the clock that seeds the
# generator keeps working after January 2038, when 32-bit seconds run out.
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

# find_library and find_package look in /usr/lib/i386-linux-gnu, where
# Debian keeps the i386 libraries (libtinfo among them), and never fall back
# to the x86-64 ones in /usr/lib/x86_64-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)

# pkg-config answers for the i386 libraries too.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")

# Where the kernel runs i386 programs, the tests run them directly. Where it
# cannot (ZIX_QEMU, preset linux-i386-qemu), CTest and every test that starts
# a program itself run them under qemu's user-mode emulator, which needs no
# change to the machine's settings.
if(ZIX_QEMU)
    find_program(ZIX_QEMU_I386 qemu-i386 REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZIX_QEMU_I386})
endif()
