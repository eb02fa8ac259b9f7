# The s390x Linux program (big-endian 64-bit IBM Z), built with Debian's cross
# compiler (g++-s390x-linux-gnu) against the s390x sysroot,
# and run under qemu-s390x for its tests.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(ZIX_CROSS_TRIPLET s390x-linux-gnu)
set(ZIX_CROSS_MULTIARCH s390x-linux-gnu)
set(ZIX_DEB_ARCH s390x)
set(ZIX_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
