# The i386 Linux program, built with Debian's i686 cross compiler
# (g++-i686-linux-gnu) against the i386 libraries (libncurses-dev:i386 after
# dpkg --add-architecture i386). Where the kernel runs i386 programs, the
# tests run them directly (ZIX_QEMU OFF, preset linux-i386); where it cannot,
# under qemu-i386 (preset linux-i386-qemu).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZIX_CROSS_TRIPLET i686-linux-gnu)
set(ZIX_CROSS_MULTIARCH i386-linux-gnu)
set(ZIX_DEB_ARCH i386)
set(ZIX_CROSS_QEMU qemu-i386)
set(ZIX_CROSS_32_BIT ON)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
