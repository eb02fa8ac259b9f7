# The armel Linux program (ARM EABI with software floating point, for ARM
# boards without a floating-point unit), built with Debian's cross compiler
# (g++-arm-linux-gnueabi) against the armel sysroot, and run under qemu-arm
# for its tests.
set(CMAKE_SYSTEM_PROCESSOR armv5tel)
set(ZIX_CROSS_TRIPLET arm-linux-gnueabi)
set(ZIX_CROSS_MULTIARCH arm-linux-gnueabi)
set(ZIX_DEB_ARCH armel)
set(ZIX_CROSS_QEMU qemu-arm)
set(ZIX_CROSS_32_BIT ON)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
