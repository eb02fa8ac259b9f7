#!/usr/bin/env bash
# Builds the Windows zip of a Windows build with CPack and checks it: exactly
# zix.exe, README.md and LICENSE.txt in one folder; zix.exe a console program
# for the build's architecture; the texts as in the sources; and, where the
# build runs its programs (under wine), the packed zix.exe runs.
# Usage: tests/package_zip_test.sh BUILD_DIR VERSION i386|x86_64
set -uo pipefail
build=${1:?usage: package_zip_test.sh BUILD_DIR VERSION ARCH}
version=${2:?usage: package_zip_test.sh BUILD_DIR VERSION ARCH}
arch=${3:?usage: package_zip_test.sh BUILD_DIR VERSION ARCH}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

work=$(mktemp -d /tmp/zix-zip-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
. "$(dirname "$0")/emulator.sh"
use_build "$build"

if ! (cd "$build" && cpack -G ZIP -B "$work/out") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "package zip: cpack failed"
    exit 1
fi
name=zix-$version-windows-$arch
zip="$work/out/$name.zip"
if [ ! -f "$zip" ]; then
    ls "$work/out"
    echo "package zip: no $zip"
    exit 1
fi

listing=$(cmake -E tar tf "$zip" | grep -v '/$' | sort)
expected="$name/LICENSE.txt
$name/README.md
$name/zix.exe"
check "the zip holds exactly: $expected
got: $listing" [ "$listing" = "$expected" ]

mkdir "$work/x"
(cd "$work/x" && cmake -E tar xf "$zip")
exe="$work/x/$name/zix.exe"
check "README.md is the project's" cmp -s "$work/x/$name/README.md" "$source_dir/README.md"
check "LICENSE.txt is the project's licence" cmp -s "$work/x/$name/LICENSE.txt" "$source_dir/LICENSE"

# u16 / u32 OFFSET: little-endian numbers from the program's headers.
u16() { od -An -tu2 -j"$1" -N2 "$exe" | tr -d ' '; }
u32() { od -An -tu4 -j"$1" -N4 "$exe" | tr -d ' '; }
pe=$(u32 60)  # e_lfanew: where the PE header starts
check "zix.exe starts with MZ" [ "$(head -c 2 "$exe")" = MZ ]
check "zix.exe has a PE header" [ "$(od -An -c -j"$pe" -N4 "$exe" | tr -d ' ')" = 'PE\0\0' ]
case $arch in
    i386) machine=332 ;;     # 0x14c
    x86_64) machine=34404 ;; # 0x8664
esac
check "zix.exe is for $arch (machine $machine)" [ "$(u16 $((pe + 4)))" = "$machine" ]
check "zix.exe is a console program (subsystem 3)" [ "$(u16 $((pe + 92)))" = 3 ]

if [ ${#emulator[@]} -gt 0 ]; then
    out=$(run_built "$exe" -c 5 66 66 2>/dev/null)
    check "the packed zix.exe -c 5 66 66 prints BBBBB (got: $(printf %q "$out"))" \
        [ "$out" = $'BBBBB\r' ]
else
    echo "note: this build's tests do not run its programs here; the packed zix.exe is not run"
fi

echo "package_zip: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
