# The i386 Linux program, built with Debian's i686 cross compiler
# (g++-i686-linux-gnu) against the i386 sysroot. Where the kernel runs i386
# programs and the system has its i386 libraries, the tests run them
# directly (ZIX_QEMU OFF, preset linux-i386); elsewhere under qemu-i386 in
# the sysroot (preset linux-i386-qemu).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZIX_CROSS_TRIPLET i686-linux-gnu)
set(ZIX_CROSS_MULTIARCH i386-linux-gnu)
set(ZIX_DEB_ARCH i386)
set(ZIX_CROSS_QEMU qemu-i386)
set(ZIX_CROSS_32_BIT ON)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
