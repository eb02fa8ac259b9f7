# The riscv64 Linux program (64-bit RISC-V), built with Debian's cross
# compiler (g++-riscv64-linux-gnu) against the riscv64 sysroot, and run under
# qemu-riscv64 for its tests. Debian 12 has no riscv64 archive: its sysroot
# is Debian 13's on either release (scripts/sysroot).
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(ZIX_CROSS_TRIPLET riscv64-linux-gnu)
set(ZIX_CROSS_MULTIARCH riscv64-linux-gnu)
set(ZIX_DEB_ARCH riscv64)
set(ZIX_CROSS_QEMU qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
