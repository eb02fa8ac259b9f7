#!/usr/bin/env bash
# The README's quick start, as a newcomer runs it on a fresh machine: in a
# clean root of each Debian release named (made with mmdebstrap, from the
# mirrors this machine uses), with a clone of the commit under test,
#   scripts/build && build/linux/zix -c 40 && scripts/test quick
# A machine that has the packages already hides an install step that is
# missing; a clean root does not.
# Needs root (the roots are chroots) and a registry that can be reached;
# elsewhere the release is skipped, with the reason.
# Usage: tests/packages/fresh_machine_test.sh RELEASE...   (bookworm, trixie)
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: fresh_machine_test.sh RELEASE..."; exit 2; }
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/zix-fresh-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$repo/tests/support/checks.sh"
. "$repo/scripts/registry.sh"

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: clean roots are chroots, which need root"
    exit 77
fi
if ! command -v mmdebstrap >/dev/null; then
    echo "SKIP: mmdebstrap is not installed (scripts/setup fresh installs it)"
    exit 77
fi
git clone -q "$repo" "$work/zix" || { echo "fresh machine: cannot clone $repo"; exit 1; }

skipped=0
quick_start='cd /root/zix && scripts/build && build/linux/zix -c 40 && scripts/test quick'
for release in "$@"; do
    log=$work/$release.log
    mapfile -t sources < <(registry_sources "$release")
    # The hooks run on this machine; the root is $1. The first marks that the
    # root was made, so that a failure before it is the registry's.
    mmdebstrap --mode=root --format=null \
        --customize-hook="touch '$work/$release.made'" \
        --customize-hook="cp -a '$work/zix' \"\$1/root/zix\"" \
        --customize-hook="chroot \"\$1\" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb bash -c '$quick_start'" \
        "$release" /dev/null "${sources[@]}" >"$log" 2>&1
    status=$?
    if [ ! -f "$work/$release.made" ]; then
        echo "SKIP: no clean $release root could be made: $(grep -m1 -E '^(E|W): ' "$log" || tail -n 1 "$log")"
        skipped=$((skipped + 1))
        continue
    fi
    line=$(grep -E '^[A-Z]{40}$' "$log")
    check "$release: the quick start ran to its end (status $status)" [ "$status" -eq 0 ]
    check "$release: build/linux/zix -c 40 printed 40 letters (got: ${line:-nothing})" [ -n "$line" ]
    if [ "$status" -ne 0 ] || [ -z "$line" ]; then
        echo "What the $release root printed (the last 40 lines):"
        tail -n 40 "$log" | sed 's/^/    /'
    else
        grep -E '^quick: ' "$log" | sed "s/^/$release: /"
    fi
done
echo "fresh machines: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || exit 1
[ "$skipped" -lt $# ] || exit 77
