# The ppc64el Linux program (64-bit POWER, little-endian), built with
# Debian's cross compiler (g++-powerpc64le-linux-gnu) against the ppc64el
# sysroot, and run under qemu-ppc64le for its tests.
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(ZIX_CROSS_TRIPLET powerpc64le-linux-gnu)
set(ZIX_CROSS_MULTIARCH powerpc64le-linux-gnu)
set(ZIX_DEB_ARCH ppc64el)
set(ZIX_CROSS_QEMU qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
