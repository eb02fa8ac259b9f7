# Counting checks for the shell tests. Source it, then call
# `check DESCRIPTION COMMAND...` (or pass / fail) and report $passed, $failed.
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass; else fail "$what"; fi
}

# elf_architecture FILE: the Debian name of the architecture a program is
# built for, read from its ELF header (byte order and float ABI included).
elf_architecture() {
    local header
    header=$(readelf -h "$1" | sed -n 's/^ *\(Class\|Data\|Machine\|Flags\): *//p' | tr '\n' ' ')
    case "$header" in
        "ELF32 2's complement, little endian Intel 80386 "*) echo i386 ;;
        "ELF64 2's complement, little endian Advanced Micro Devices X86-64 "*) echo amd64 ;;
        "ELF64 2's complement, little endian AArch64 "*) echo arm64 ;;
        "ELF32 2's complement, little endian ARM "*hard-float*) echo armhf ;;
        "ELF32 2's complement, little endian ARM "*soft-float*) echo armel ;;
        "ELF64 2's complement, little endian PowerPC64 "*) echo ppc64el ;;
        "ELF64 2's complement, little endian RISC-V "*) echo riscv64 ;;
        "ELF64 2's complement, big endian IBM S/390 "*) echo s390x ;;
        *) echo "$header" ;;
    esac
}
