#!/usr/bin/env bash
# Runs Linux builds of zix (the x86-64 one first, then others: i386, arm64,
# armel, armhf, ppc64el, riscv64, s390x) with the same fixed clock and
# scripted entropy words, and requires from each the same bytes and the same
# exit status as from the first: whatever its word size, byte order or
# floating-point unit, every build must give exactly what the x86-64 program
# gives.
# Usage: tests/e2e/same_output_test.sh REFERENCE_BUILD_DIR BUILD_DIR...
set -uo pipefail
[ $# -ge 2 ] || { echo "usage: same_output_test.sh REFERENCE_BUILD_DIR BUILD_DIR..."; exit 2; }
builds=("$@")
for dir in "${builds[@]}"; do
    if [ ! -x "$dir/zix" ] || [ ! -f "$dir/tests/libzix_fake_sources.so" ]; then
        echo "same output: $dir/zix or its test library is missing (build it first)"
        exit 1
    fi
done

out=$(mktemp -d /tmp/zix-same-XXXXXX)
trap 'rm -rf "$out"' EXIT
passed=0
failed=0

. "$(dirname "$0")/../support/emulator.sh"

# run DIR NAME CLOCK WORDS ARGS...: the output into $out/NAME, the status after it.
run() {
    local dir=$1 name=$2 clock=$3 words=$4
    shift 4
    use_build "$dir"
    ZIX_FAKE_CLOCK="$clock" ZIX_FAKE_ENTROPY="$words" \
        run_built -p "$dir/tests/libzix_fake_sources.so" "$dir/zix" "$@" >"$out/$name" 2>&1
    echo "status $?" >>"$out/$name"
}

# same CLOCK WORDS ARGS...: each build against the first.
same() {
    run "${builds[0]}" reference "$@"
    for dir in "${builds[@]:1}"; do
        run "$dir" other "$@"
        if cmp -s "$out/reference" "$out/other"; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
            echo "FAIL: $dir, clock $1, words $2, zix ${*:3}: not what ${builds[0]} gives"
            cmp "$out/reference" "$out/other" | head -n 1
        fi
    done
}

words=9e3779b9,7f4a7c15,short,1,fail,deadbeef,ffffffff,80000000
for clock in 0:0 1:999999 1800000000:6000 1800000000:14600 1765000000:123457 \
    2147483647:999999 4102444800:123456; do
    same "$clock" "$words" -c 1000
    same "$clock" "$words" -c 2000 1 255
    same "$clock" "$words" -c 700 250 260
    same "$clock" "$words" -c 700 100 50
    same "$clock" "$words" -c 700 1 4294967295
    same "$clock" "$words" -c 700 2147483000 2147483647
    same "$clock" fail -c 700 '&H41' '&H5A'
done
same 5:0 "$words" -a
same 5:0 "$words" -s 3 'a b'
same 5:0 "$words"
same 5:0 "$words" -c 0
same 5:0 "$words" -c -1

echo "same_output: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
