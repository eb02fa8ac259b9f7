# Sourced by the shell tests: how to start a program of a build, natively or
# under the build's emulator (qemu-i386 for the i386 program on a kernel that
# cannot execute it), by the same rule as tests/support/emulator.cpp.
#   use_build BUILD_DIR              reads the build's emulator into $emulator
#   run_built [-p LIBRARY] PROGRAM ARGS...
#                                    runs PROGRAM, with LIBRARY preloaded into
#                                    it (never into the emulator itself)
emulator=()

use_build() {
    local words
    words=$(sed -n 's/^ZIX_TEST_EMULATOR:INTERNAL=//p' "$1/CMakeCache.txt" 2>/dev/null)
    IFS=';' read -r -a emulator <<<"$words"
}

run_built() {
    local preload=()
    if [ "$1" = -p ]; then
        if [ ${#emulator[@]} -gt 0 ]; then preload=(-E "LD_PRELOAD=$2"); else preload=("LD_PRELOAD=$2"); fi
        shift 2
    fi
    if [ ${#emulator[@]} -gt 0 ]; then
        "${emulator[@]}" "${preload[@]}" "$@"
    else
        env "${preload[@]}" "$@"
    fi
}
