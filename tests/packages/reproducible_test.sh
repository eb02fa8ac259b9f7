#!/usr/bin/env bash
# Builds the packages of each preset twice, from two checkouts of the same
# commit in two folders, one after the other, and requires the same bytes:
# the Debian package and the static program's tarball of a Linux build, the
# zip of a Windows build, and SHA256SUMS, which must list each package
# exactly once and check (scripts/packages). The first build is the one in
# this checkout when its files are those of the commit (as after scripts/test
# on a clean clone), else a clone of its own; the second is always a fresh
# clone.
# Usage: tests/packages/reproducible_test.sh PRESET...
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: reproducible_test.sh PRESET..."; exit 2; }
repo=$(cd "$(dirname "$0")/../.." && pwd)
# Beside the sysroots, on their file system, so that a clone can link them.
mkdir -p "$repo/build"
work=$(mktemp -d "$repo/build/reproducible-XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$repo/tests/support/checks.sh"

# build_programs CHECKOUT PRESET...: the programs alone, no tests. A clone
# gets the sysroots that scripts/setup unpacked into this checkout, as its
# own folder (a symbolic link would bring this checkout's path into the
# programs): linked, as they are only read, or copied where links fail.
build_programs() {
    local checkout=$1 preset
    shift
    if [ "$checkout" != "$repo" ] && [ -d "$repo/build/sysroot" ]; then
        cp -al "$repo/build/sysroot" "$checkout/build/" 2>/dev/null || {
            rm -rf "$checkout/build/sysroot"
            cp -a "$repo/build/sysroot" "$checkout/build/"
        }
    fi
    for preset in "$@"; do
        (cd "$checkout" && cmake --preset "$preset" -DZIX_BUILD_TESTS=OFF &&
            cmake --build --preset "$preset") >"$work/build.log" 2>&1 ||
            { cat "$work/build.log"; fail "$preset: the build in $checkout"; return 1; }
    done
}

clean=no
[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] && clean=yes
first=$repo
for preset in "$@"; do
    dir=$preset
    case $preset in linux-i386-qemu) dir=linux-i386 ;; windows-i386-static) dir=windows-i386 ;; esac
    [ $clean = yes ] && [ -f "$repo/build/$dir/CMakeCache.txt" ] || first=$work/one/zix
done
second=$work/second/checkout/of/zix
for checkout in "$first" "$second"; do
    [ "$checkout" = "$repo" ] && continue
    git clone -q "$repo" "$checkout" && mkdir -p "$checkout/build" || { fail "cloning $repo"; continue; }
    build_programs "$checkout" "$@"
done
if [ "$failed" -eq 0 ]; then
    "$first/scripts/packages" "$work/a" "$@" && "$second/scripts/packages" "$work/b" "$@" ||
        fail "making the packages"
fi
if [ "$failed" -eq 0 ]; then
    listed=$(cut -d' ' -f3 "$work/a/SHA256SUMS" | paste -sd' ')
    made=$(cd "$work/a" && LC_ALL=C ls -- *.deb *.tar.gz *.zip 2>/dev/null | paste -sd' ')
    check "SHA256SUMS lists every package once (lists: $listed; made: $made)" [ "$listed" = "$made" ]
    check "sha256sum -c SHA256SUMS passes" bash -c "cd '$work/a' && sha256sum --quiet -c SHA256SUMS"
    for file in "$work"/a/*; do
        name=${file##*/}
        check "$name is the same from both builds" cmp "$file" "$work/b/$name"
    done
fi
echo "reproducible: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
