# shellcheck shell=bash
# What the machine can run (sourced by scripts/test), found out by trying,
# never guessed from names or versions.

# can_run_i386_linux: a static i386 program, which needs no library: does
# the kernel run i386 programs at all?
can_run_i386_linux() {
    printf 'int main(void) { return 7; }\n' >"$work/probe.c"
    i686-linux-gnu-gcc -static -o "$work/probe" "$work/probe.c" 2>"$work/probe.log" || return 1
    "$work/probe" 2>>"$work/probe.log"
    [ $? -eq 7 ]
}

# can_run_wine32: a tiny i386 Windows program in the Windows i386 build's own
# wine prefix (made here on first use, and used by its tests afterwards).
can_run_wine32() {
    printf 'int main(void) { return 7; }\n' >"$work/probe32.c"
    i686-w64-mingw32-gcc -o "$work/probe32.exe" "$work/probe32.c" 2>>"$work/probe.log" || return 1
    timeout 600 cmake/wine-run win32 "$PWD/build/windows-i386/wineprefix" \
        "$work/probe32.exe" >/dev/null 2>>"$work/probe.log"
    [ $? -eq 7 ]
}

# probe: tries both (or neither, with ZIX_TEST_NO_IA32=1), chooses the
# presets of the i386 and windows-i386 suites and the words for how they run,
# and leaves them in $work/probed for take_probes. What a failed probe
# printed is in $work/probe.log.
probe() {
    local i386_linux=no i386_wine=no found
    local i386_preset i386_how windows_i386_preset windows_i386_how
    if [ "${ZIX_TEST_NO_IA32:-}" = 1 ]; then
        found="ZIX_TEST_NO_IA32=1: taking the path of a machine without 32-bit execution"
    else
        group_ok i386 && can_run_i386_linux && i386_linux=yes
        group_ok wine32 && can_run_wine32 && i386_wine=yes
        found="an i386 Linux program runs: $i386_linux; wine32 starts: $i386_wine"
    fi
    if [ "$i386_linux" = yes ] && group_ok i386-libraries; then
        i386_preset=linux-i386 i386_how="native (the system's i386 libraries)"
    elif [ "$i386_linux" = yes ]; then
        i386_preset=linux-i386-qemu
        i386_how="emulated (qemu-i386: the system's i386 libraries could not be installed)"
    else
        i386_preset=linux-i386-qemu i386_how="emulated (qemu-i386: the kernel cannot run it)"
    fi
    if [ "$i386_wine" = yes ]; then
        windows_i386_preset=windows-i386 windows_i386_how="under wine32"
    elif group_ok wine32; then
        windows_i386_preset=windows-i386-static
        windows_i386_how="checked without running (wine32 cannot start here)"
    else
        windows_i386_preset=windows-i386-static
        windows_i386_how="checked without running (wine32 could not be installed)"
    fi
    mark "$work/probed" "$(assignments found i386_linux i386_wine i386_preset i386_how \
        windows_i386_preset windows_i386_how)"
}

# assignments NAME...: shell code that gives each variable its value here.
assignments() {
    local name
    for name; do printf '%s=%q\n' "$name" "${!name}"; done
}

# tell_probes: what the probes found. A probe that failed says why, so that
# a broken install is not taken for a machine that cannot run 32-bit programs.
tell_probes() {
    echo "This machine: $found"
    if [ -s "$work/probe.log" ] && [ "$i386_linux$i386_wine" != yesyes ]; then
        echo "What the probes printed (the last 20 lines):"
        tail -n 20 "$work/probe.log" | sed 's/^/    /'
    fi
}

# probes_choose SUITE: the probes choose the suite's preset, and it waits
# for them.
probes_choose() {
    [[ ${suite_what[$1]} == i386 || ${suite_what[$1]} == windows-i386 ]]
}

# take_probes: reads what probe left, and puts the presets it chose, and its
# words for how they run, in the place of i386 and windows-i386 in the suites.
take_probes() {
    # shellcheck source=/dev/null
    . "$work/probed"
    local suite
    for suite in "${suites[@]}"; do
        case ${suite_what[$suite]} in
            i386) suite_what[$suite]=$i386_preset suite_how[$suite]=$i386_how ;;
            windows-i386) suite_what[$suite]=$windows_i386_preset suite_how[$suite]=$windows_i386_how ;;
        esac
    done
}
