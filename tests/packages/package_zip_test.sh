#!/usr/bin/env bash
# Makes the Windows zip of a Windows build and checks it: exactly zix.exe,
# README.md, LICENSE.txt and the shell completions under complete/ in one
# folder; zix.exe a console program for the build's architecture; the texts
# as in the sources; and, where the build runs its programs (under wine), the
# packed zix.exe runs.
# Usage: tests/packages/package_zip_test.sh BUILD_DIR VERSION i386|x86_64
set -uo pipefail
build=${1:?usage: package_zip_test.sh BUILD_DIR VERSION ARCH}
version=${2:?usage: package_zip_test.sh BUILD_DIR VERSION ARCH}
arch=${3:?usage: package_zip_test.sh BUILD_DIR VERSION ARCH}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

work=$(mktemp -d /tmp/zix-zip-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/checks.sh"
. "$(dirname "$0")/../support/emulator.sh"
use_build "$build"

name=zix-$version-windows-$arch
zip="$build/$name.zip"
rm -f "$zip"
if ! cmake --build "$build" --target zip >"$work/zip.log" 2>&1 || [ ! -f "$zip" ]; then
    cat "$work/zip.log"
    echo "package zip: no $zip"
    exit 1
fi

listing=$(cmake -E tar tf "$zip" | grep -v '/$' | sort)
expected="$name/LICENSE.txt
$name/README.md
$name/complete/_zix
$name/complete/zix.bash
$name/complete/zix.fish
$name/zix.exe"
check "the zip holds exactly: $expected
got: $listing" [ "$listing" = "$expected" ]

mkdir "$work/x"
(cd "$work/x" && cmake -E tar xf "$zip")
exe="$work/x/$name/zix.exe"
check "README.md is the project's" cmp -s "$work/x/$name/README.md" "$source_dir/README.md"
check "LICENSE.txt is the project's licence" cmp -s "$work/x/$name/LICENSE.txt" "$source_dir/LICENSE"

# The packed program is the built one: a console program for the build's
# architecture, with its version resource.
check "the packed zix.exe passes the file checks" \
    /usr/bin/python3 "$source_dir/tests/windows/pe_check.py" "$exe" "$arch" "$version"

if [ ${#emulator[@]} -gt 0 ]; then
    out=$(run_built "$exe" -c 5 66 66 2>/dev/null)
    check "the packed zix.exe -c 5 66 66 prints BBBBB (got: $(printf %q "$out"))" \
        [ "$out" = $'BBBBB\r' ]
else
    echo "note: this build's tests do not run its programs here; the packed zix.exe is not run"
fi

echo "package_zip: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
