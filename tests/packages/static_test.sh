#!/usr/bin/env bash
# Makes the static program's tarball of a Linux build and checks it: exactly
# its files (the program, its texts, the shell completions), owned by root;
# a program with no dynamic section, for the build's architecture, stripped;
# and that it runs where no shared library exists at all (an empty root
# folder; under the build's emulator where the kernel cannot run it, whose
# loader and libraries it does not ask for).
# The terminal tests run it on terminals too (CTest's static.terminal).
# Usage: tests/packages/static_test.sh BUILD_DIR VERSION DEB_ARCHITECTURE TARBALL_ARCHITECTURE
set -uo pipefail
build=${1:?usage: static_test.sh BUILD_DIR VERSION DEB_ARCHITECTURE TARBALL_ARCHITECTURE}
version=${2:?version} arch=${3:?Debian architecture} tarball_arch=${4:?tarball architecture}
name=zix-$version-linux-$tarball_arch
work=$(mktemp -d /tmp/zix-static-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/checks.sh"
. "$(dirname "$0")/../support/emulator.sh"
use_build "$build"

if ! command -v python3 >/dev/null; then
    echo "SKIP: python3, which makes the tarball, is not installed (scripts/setup package installs it)"
    exit 77
fi
rm -f "$build/$name.tar.gz"
if ! cmake --build "$build" --target tarball >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    echo "static: the tarball could not be made"
    exit 1
fi
listing=$(tar -tvzf "$build/$name.tar.gz" | awk '{print $1, $2, $6}')
expected="drwxr-xr-x root/root $name/
-rw-r--r-- root/root $name/LICENSE
-rw-r--r-- root/root $name/README.md
drwxr-xr-x root/root $name/complete/
-rw-r--r-- root/root $name/complete/_zix
-rw-r--r-- root/root $name/complete/zix.bash
-rw-r--r-- root/root $name/complete/zix.fish
-rwxr-xr-x root/root $name/zix
-rw-r--r-- root/root $name/zix.1"
check "the tarball holds exactly: $expected
got: $listing" [ "$listing" = "$expected" ]

tar -xzf "$build/$name.tar.gz" -C "$work"
program=$work/$name/zix
check "the program has no dynamic section" \
    grep -q 'There is no dynamic section' <(readelf -d "$program" 2>&1)
check "the program asks for no loader" [ -z "$(readelf -l "$program" | grep INTERP)" ]
check "the program is built for $arch (it is $(elf_architecture "$program"))" \
    [ "$(elf_architecture "$program")" = "$arch" ]
check "the program is stripped" [ -z "$(readelf -S "$program" | grep -E '\.(debug_info|symtab)')" ]

# An empty root holds the program and nothing else: no loader, no library.
# chroot needs root, or a user namespace of its own.
mkdir "$work/root"
cp "$program" "$work/root/zix"
in_empty_root=()
if [ ${#emulator[@]} -gt 0 ]; then
    echo "note: run under ${emulator[0]##*/}, not in an empty root (the emulator needs its own libraries)"
elif [ "$(id -u)" -eq 0 ]; then
    in_empty_root=(chroot "$work/root")
elif unshare -r true 2>/dev/null; then
    in_empty_root=(unshare -r chroot "$work/root")
else
    echo "SKIP: neither root nor a user namespace here, to run the program in an empty root"
    exit 77
fi
if [ ${#in_empty_root[@]} -gt 0 ]; then
    run() { "${in_empty_root[@]}" /zix "$@"; }
else
    run() { run_built "$program" "$@"; }
fi
check "zix -c 5 66 66 prints BBBBB" [ "$(run -c 5 66 66)" = BBBBB ]
check "zix -s 3 ab prints ababab" [ "$(run -s 3 ab)" = ababab ]
check "zix -a prints the table" [ "$(run -a | wc -l)" -eq 46 ]

echo "static: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
