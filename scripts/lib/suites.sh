# shellcheck shell=bash
# The test command's suites (sourced by scripts/test).
#
# suite NAME KIND WHAT GROUP HOW adds a suite, in the order they build and
# run; the table is read once, into suites (the names in order) and
# suite_kind, suite_what, suite_group and suite_how, keyed by name.
#   build  WHAT is a preset: the build lane builds it, the test lane runs its
#          tests once it is built. i386 and windows-i386 stand for the preset
#          that the probes choose, and HOW for those two comes from the probes
#          (take_probes in scripts/lib/probes.sh).
#   check  WHAT is a function below, run in the test lane after the builds
#          it reads
#   last   WHAT is a function run in the build lane after every build
#   side   WHAT is a function run from the start beside both lanes, at the
#          lowest priority (it mostly waits on the registry and on apt)
# GROUP is the scripts/setup group the suite needs. A test preset carries
# what its tests need in their environment (CMakePresets.json).
suites=()
declare -A suite_kind=() suite_what=() suite_group=() suite_how=()
suite() {
    suites+=("$1")
    suite_kind[$1]=$2 suite_what[$1]=$3 suite_group[$1]=$4 suite_how[$1]=$5
}

suite "linux (x86-64)"                       build linux          native  native
suite "linux-tsan (terminal tests)"          build linux-tsan     native  native
suite linux-arm64                            build linux-arm64    arm64   "emulated (qemu-aarch64)"
suite linux-armhf                            build linux-armhf    armhf   "emulated (qemu-arm)"
suite "linux-armel (soft float)"             build linux-armel    armel   "emulated (qemu-arm)"
suite linux-ppc64el                          build linux-ppc64el  ppc64el "emulated (qemu-ppc64le)"
suite linux-riscv64                          build linux-riscv64  riscv64 "emulated (qemu-riscv64)"
suite "linux-s390x (big-endian)"             build linux-s390x    s390x   "emulated (qemu-s390x)"
suite linux-i386                             build i386           i386    ""
suite "same output as x86-64"                check same_output    native  "as each build ran above"
suite windows-x86_64                         build windows-x86_64 windows "under wine64"
suite windows-i386                           build windows-i386   windows ""
suite "sanitize (ASan + UBSan)"              build sanitize       fuzz    native
suite "fuzz (libFuzzer)"                     build fuzz           fuzz    "native, 5 s a target"
suite "reproducible packages and SHA256SUMS" last  reproducible   package "built again in a second clone"
suite "fresh machines: Debian 12 and 13"     side  fresh_machines fresh   "quick start in clean roots"

# group_ok GROUP: scripts/setup set the group up.
group_ok() { [ "$(head -n 1 "build/setup/$1" 2>/dev/null)" = ok ]; }

# built PRESET: the build lane built the preset.
built() { [ "$(cut -d' ' -f1 "$work/built.$1" 2>/dev/null)" = 0 ]; }

# The builds whose programs same_output_test.sh compares, x86-64's first: every
# Linux build but the ThreadSanitizer one, which builds its terminal tests only.
same_output() {
    local dirs=(build/linux) suite what
    for suite in "${suites[@]}"; do
        what=${suite_what[$suite]}
        [[ ${suite_kind[$suite]} == build && $what == linux-* && $what != linux-tsan ]] || continue
        built "$what" || continue
        dirs+=("build/${what%-qemu}")
    done
    tests/e2e/same_output_test.sh "${dirs[@]}"
}

# Every package once more, from a clone in another folder: the same bytes,
# and SHA256SUMS beside them, the same from both. The sanitizer and fuzzing
# builds ship nothing.
reproducible() {
    local presets=() suite what
    for suite in "${suites[@]}"; do
        what=${suite_what[$suite]}
        [ "${suite_kind[$suite]}" = build ] || continue
        case $what in linux-tsan | sanitize | fuzz) continue ;; esac
        built "$what" && presets+=("$what")
    done
    tests/packages/reproducible_test.sh "${presets[@]}"
}

# The README's quick start in clean roots of both releases; skipped (77)
# where the machine does not allow it.
fresh_machines() {
    tests/packages/fresh_machine_test.sh bookworm trixie
    local status=$?
    [ $status -ne 77 ] || status=0
    return $status
}
