# The arm64 Linux program (64-bit ARM), built with Debian's cross
# compiler (g++-aarch64-linux-gnu) against the arm64 sysroot,
# and run under qemu-aarch64 for its tests.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ZIX_CROSS_TRIPLET aarch64-linux-gnu)
set(ZIX_CROSS_MULTIARCH aarch64-linux-gnu)
set(ZIX_DEB_ARCH arm64)
set(ZIX_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
