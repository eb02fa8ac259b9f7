#!/usr/bin/env bash
# Builds the packages of each preset twice, from two checkouts of the same
# commit in two folders, one after the other, and requires the same bytes:
# the Debian package and the static program's tarball of a Linux build, the
# zip of a Windows build. The first build is the one in this checkout when
# its files are those of the commit (as after scripts/test on a clean
# clone), else a clone of its own; the second is always a fresh clone.
# Usage: tests/reproducible_test.sh PRESET...
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: reproducible_test.sh PRESET..."; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/zix-reproducible-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$repo/tests/checks.sh"

# The build folder of a preset, relative to the checkout.
build_dir() {
    case $1 in
        linux-i386-qemu) echo build/linux-i386 ;;
        windows-i386-static) echo build/windows-i386 ;;
        *) echo "build/$1" ;;
    esac
}

# build_program CHECKOUT PRESET: the program alone, no tests. A clone gets
# the development files that scripts/setup unpacked into this checkout.
build_program() {
    [ "$1" = "$repo" ] || [ ! -d "$repo/build/sysroot" ] || cp -a "$repo/build/sysroot" "$1/build/"
    (cd "$1" && cmake --preset "$2" -DZIX_BUILD_TESTS=OFF && cmake --build --preset "$2") \
        >"$work/build.log" 2>&1 || { cat "$work/build.log"; return 1; }
}

# packages CHECKOUT PRESET OUT: the preset's packages into OUT.
packages() {
    local build=$1/$(build_dir "$2") out=$3
    mkdir -p "$out"
    if [[ $2 == windows-* ]]; then
        cmake --build "$build" --target zip >"$work/packages.log" 2>&1 && mv "$build"/zix-*.zip "$out/"
    else
        (cd "$build" && cpack -G DEB -B "$out/cpack") >"$work/packages.log" 2>&1 &&
            mv "$out"/cpack/*.deb "$out/" && rm -r "$out/cpack" &&
            cmake --build "$build" --target tarball >>"$work/packages.log" 2>&1 &&
            mv "$build"/zix-*.tar.gz "$out/"
    fi || { cat "$work/packages.log"; return 1; }
}

clean=no
[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] && clean=yes
for preset in "$@"; do
    first=$repo
    if [ $clean = no ] || [ ! -f "$repo/$(build_dir "$preset")/CMakeCache.txt" ]; then
        first=$work/one/zix
        rm -rf "$first"
        git clone -q "$repo" "$first" && mkdir -p "$first/build" && build_program "$first" "$preset" || { fail "$preset: first build"; continue; }
    fi
    second=$work/second/checkout/of/zix
    rm -rf "$second"
    git clone -q "$repo" "$second" && mkdir -p "$second/build" && build_program "$second" "$preset" || { fail "$preset: second build"; continue; }
    rm -rf "$work/a" "$work/b"
    packages "$first" "$preset" "$work/a" && packages "$second" "$preset" "$work/b" ||
        { fail "$preset: packages"; continue; }
    for file in "$work"/a/*; do
        name=${file##*/}
        check "$preset: $name is the same from both builds" cmp "$file" "$work/b/$name"
    done
done
echo "reproducible: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
