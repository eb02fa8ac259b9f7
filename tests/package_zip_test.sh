#!/usr/bin/env bash
# Builds the Windows zip of a Windows build with CPack and checks it: exactly
# zix.exe, README.md and LICENSE.txt in one folder; zix.exe an i386 console
# program; the texts as in the sources; and, where wine is at hand, the
# packed zix.exe runs.
# Usage: tests/package_zip_test.sh BUILD_DIR VERSION
set -uo pipefail
build=${1:?usage: package_zip_test.sh BUILD_DIR VERSION}
version=${2:?usage: package_zip_test.sh BUILD_DIR VERSION}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

work=$(mktemp -d /tmp/zix-zip-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

if ! (cd "$build" && cpack -G ZIP -B "$work/out") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "package zip: cpack failed"
    exit 1
fi
name=zix-$version-windows-i386
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
check "zix.exe is for i386 (machine 0x14c)" [ "$(u16 $((pe + 4)))" = 332 ]
check "zix.exe is a console program (subsystem 3)" [ "$(u16 $((pe + 92)))" = 3 ]

if command -v wine >/dev/null; then
    out=$(WINEDEBUG=-all wine "$exe" -c 5 66 66 2>/dev/null)
    check "the packed zix.exe -c 5 66 66 prints BBBBB (got: $(printf %q "$out"))" \
        [ "$out" = $'BBBBB\r' ]
else
    echo "note: wine is not installed; the packed zix.exe is not run"
fi

echo "package_zip: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
