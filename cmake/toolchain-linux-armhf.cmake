# The armhf Linux program (32-bit ARM with hardware floating point), built with Debian's cross
# compiler (g++-arm-linux-gnueabihf) against the armhf sysroot,
# and run under qemu-arm for its tests.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(ZIX_CROSS_TRIPLET arm-linux-gnueabihf)
set(ZIX_CROSS_MULTIARCH arm-linux-gnueabihf)
set(ZIX_DEB_ARCH armhf)
set(ZIX_CROSS_QEMU qemu-arm)
set(ZIX_CROSS_32_BIT ON)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
