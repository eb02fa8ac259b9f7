#!/usr/bin/env bash
# Builds the Debian package of a Linux build with CPack and checks it.
#   inspect: the control fields, the files and their modes, the program's
#            architecture and libraries against the fields, the manual page,
#            and lintian.
#   install: install the package, run the installed zix, find its manual
#            page, remove the package (through apt, which waits for the
#            package manager's lock; a cross build's package with dpkg, in a
#            root of its own).
#            Only with ZIX_TEST_PACKAGE_INSTALL=1 in the environment, as
#            root, and when no zix package is installed already (it is not
#            replaced); skipped (status 77) otherwise.
# Usage: tests/packages/package_test.sh inspect|install BUILD_DIR VERSION ARCHITECTURE
set -uo pipefail
mode=${1:?usage: package_test.sh inspect|install BUILD_DIR VERSION ARCHITECTURE}
build=${2:?build directory}
version=${3:?package version}
arch=${4:?Debian architecture}
skip=77

work=$(mktemp -d /tmp/zix-package-XXXXXX)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
. "$(dirname "$0")/../support/checks.sh"
. "$(dirname "$0")/../support/emulator.sh"
use_build "$build"
finish() {
    echo "package_$mode: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/setup package installs it)"
        exit $skip
    fi
done
if [ "$mode" = install ]; then
    if [ "${ZIX_TEST_PACKAGE_INSTALL:-}" != 1 ]; then
        echo "SKIP: installs into the system's package database only when asked (ZIX_TEST_PACKAGE_INSTALL=1, as scripts/test does)"
        exit $skip
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: installing a package with dpkg needs root"
        exit $skip
    fi
    if [ "$(dpkg-query -W -f='${db:Status-Status}' zix 2>/dev/null)" = installed ]; then
        echo "SKIP: a zix package is installed on this machine already; it is left alone"
        exit $skip
    fi
fi

if ! (cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "package: cpack failed"
    exit 1
fi
deb="$work/out/zix_${version}_${arch}.deb"
if [ ! -f "$deb" ]; then
    ls "$work/out"
    echo "package: no $deb"
    exit 1
fi

field() { dpkg-deb -f "$deb" "$1"; }

if [ "$mode" = inspect ]; then
    check "Package is zix" [ "$(field Package)" = zix ]
    check "Version is $version" [ "$(field Version)" = "$version" ]
    check "Architecture is $arch" [ "$(field Architecture)" = "$arch" ]
    check "Section is utils" [ "$(field Section)" = utils ]
    check "Maintainer is a name and an address" grep -qE '^[^<]+ <[^@>]+@[^>]+>$' <<<"$(field Maintainer)"
    check "Description has a synopsis and more" [ "$(field Description | wc -l)" -ge 2 ]

    # The files, their owners and modes.
    listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort -k3)
    expected="-rwxr-xr-x root/root ./usr/bin/zix
-rw-r--r-- root/root ./usr/share/bash-completion/completions/zix
-rw-r--r-- root/root ./usr/share/doc/zix/README.md
-rw-r--r-- root/root ./usr/share/doc/zix/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/zix/copyright
-rw-r--r-- root/root ./usr/share/fish/vendor_completions.d/zix.fish
-rw-r--r-- root/root ./usr/share/man/man1/zix.1.gz
-rw-r--r-- root/root ./usr/share/zsh/vendor-completions/_zix"
    check "the package holds exactly: $expected
got: $listing" [ "$listing" = "$expected" ]

    dpkg-deb -x "$deb" "$work/root"
    program="$work/root/usr/bin/zix"

    elf_arch=$(elf_architecture "$program")
    check "the program is built for $arch (it is $elf_arch)" [ "$elf_arch" = "$arch" ]
    check "the program is stripped" [ -z "$(readelf -S "$program" | grep -E '\.(debug_info|symtab)')" ]

    # Every library the program loads comes from a package named in Depends,
    # for the package's own architecture, and libc6 is always among them.
    depends=$(field Depends)
    check "Depends names libc6 (got: $depends)" grep -qE '(^|, )libc6( |,|$)' <<<"$depends"
    # A cross build's libraries are in its sysroot, which says where each
    # file came from; the native build's are the system's own.
    multiarch=$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)
    sysroot=$(sed -n 's/^ZIX_TEST_SYSROOT:INTERNAL=//p' "$build/CMakeCache.txt")
    for lib in $(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        owner=
        for dir in /lib /usr/lib; do
            if [ -n "$sysroot" ]; then
                [ -n "$owner" ] || owner=$(awk -v path="usr/lib/$multiarch/$lib" -v alt="usr/lib/$lib" \
                    '$1 == path || $1 == alt {print $2; exit}' "$sysroot/.owners")
            else
                [ -n "$owner" ] || owner=$(dpkg-query -S "$dir/$multiarch/$lib" 2>/dev/null | cut -d: -f1)
            fi
        done
        check "$lib comes from a package in Depends (owner: ${owner:-none}, Depends: $depends)" \
            grep -qE "(^|, )${owner:-none}( |,|$)" <<<"$depends"
    done
    # The terminal layer's library, once the program links it.
    if readelf -d "$program" | grep -q 'libtinfo\.so'; then
        check "Depends names libtinfo6 (got: $depends)" grep -qE '(^|, )libtinfo6( |,|$)' <<<"$depends"
    fi

    # The compressed manual page and changelog, as Debian keeps them.
    page="$work/root/usr/share/man/man1/zix.1.gz"
    check "the manual page is gzip at best compression with no time stamp" \
        [ "$(od -An -tx1 -j3 -N6 "$page" | tr -d ' ')" = 000000000002 ]
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$work/man.err")
    check "the packaged manual page renders without messages ($(cat "$work/man.err"))" \
        [ -z "$(cat "$work/man.err")" ]
    check "the packaged manual page is the one in docs/" \
        cmp -s <(gzip -dc "$page") "$(dirname "$0")/../../docs/zix.1"
    check "the rendered page names the program" grep -q 'zix - generate random' <<<"$rendered"
    check "the changelog's latest entry is version $version" \
        grep -q "^zix ($version) " <(gzip -dc "$work/root/usr/share/doc/zix/changelog.gz")
    check "the copyright file holds the licence" \
        cmp -s "$work/root/usr/share/doc/zix/copyright" "$(dirname "$0")/../../LICENSE"

    # Debian's own checks. Only errors and warnings are shown; none may stay.
    lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1
    status=$?
    grep -v 'running with root privileges' "$work/lintian.log"
    check "lintian reports no error or warning" [ "$status" -eq 0 ]
    finish
fi

# install
# Into the system's package database where the system has the libraries the
# package depends on (the native package; the i386 one where the system has
# its i386 libraries). A cross build's libraries are in its sysroot, never in
# dpkg's database: its package goes into a dpkg root of its own, with the
# same checks on what dpkg puts in and takes out.
# Another apt or dpkg (an unattended upgrade on a fresh machine, say) may hold
# the package manager's lock for a while: apt waits for it, up to ten minutes,
# where dpkg alone would fail at once.
root=
if [ "$(dpkg-query -W -f='${db:Status-Status}' "libtinfo6:$arch" 2>/dev/null)" != installed ]; then
    root=$work/installed
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    : >"$root/var/lib/dpkg/status"
    [ "$arch" = "$(dpkg --print-architecture)" ] || dpkg --root="$root" --add-architecture "$arch"
    echo "note: the system has no $arch libraries; the package goes into a dpkg root of its own"
fi
package_manager() {
    if [ -n "$root" ]; then
        case $1 in install) set -- -i "$2" ;; remove) set -- -r "$2" ;; esac
        dpkg --root="$root" --force-depends "$@"
    else
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q "$@"
    fi
}
status_of() { dpkg-query --admindir="$root/var/lib/dpkg" -W -f="$1" zix 2>/dev/null; }
removed=0
remove() { [ "$removed" -eq 1 ] || package_manager remove zix >/dev/null 2>&1; removed=1; }
trap 'remove; cleanup' EXIT
if ! package_manager install "$deb" >"$work/dpkg.log" 2>&1; then
    cat "$work/dpkg.log"
    fail "installing $deb"
    finish
fi
pass
check "dpkg reports zix $version installed" \
    [ "$(status_of '${db:Status-Status} ${Version}')" = "installed $version" ]
check "/usr/bin/zix -c 5 66 66 prints BBBBB" [ "$(run_built "$root/usr/bin/zix" -c 5 66 66)" = BBBBB ]
check "zix is found on the PATH" [ "$(PATH=$root/usr/bin:$PATH command -v zix)" = "$root/usr/bin/zix" ]
if grep -rqs '^path-exclude=*/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d; then
    echo "note: dpkg on this machine leaves manual pages out; the installed page is not looked for"
else
    check "man finds the page by name" \
        [ "$(MANPATH=${root:+$root/usr/share/man:}$(manpath 2>/dev/null) man -w zix 2>/dev/null)" = \
            "$root/usr/share/man/man1/zix.1.gz" ]
fi
check "removing zix" package_manager remove zix >"$work/dpkg.log" 2>&1
removed=1
check "dpkg reports zix removed" [ "$(status_of '${db:Status-Status}')" != installed ]
for path in /usr/bin/zix /usr/share/man/man1/zix.1.gz /usr/share/doc/zix \
    /usr/share/bash-completion/completions/zix /usr/share/zsh/vendor-completions/_zix \
    /usr/share/fish/vendor_completions.d/zix.fish; do
    check "$path is gone" [ ! -e "$root$path" ]
done
finish
