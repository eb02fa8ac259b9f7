#!/usr/bin/env bash
# Installs a build into a temporary prefix, as `cmake --install` does for a
# user, and checks what arrived: the program runs from there, and its manual
# page is found by name and renders without a warning.
# Usage: tests/packages/install_test.sh BUILD_DIR
set -uo pipefail
build=${1:?usage: install_test.sh BUILD_DIR}

prefix=$(mktemp -d /tmp/zix-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
. "$(dirname "$0")/../support/checks.sh"
. "$(dirname "$0")/../support/emulator.sh"
use_build "$build"
for tool in man groff lexgrog; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/setup package installs it)"
        exit 77
    fi
done

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "install: cmake --install failed"
    exit 1
fi
rm -f "$prefix.log"

# Exactly these files, and nothing else.
listing=$(cd "$prefix" && find . -type f | sort)
expected="./bin/zix
./share/bash-completion/completions/zix
./share/doc/zix/LICENSE
./share/doc/zix/README.md
./share/fish/vendor_completions.d/zix.fish
./share/man/man1/zix.1
./share/zsh/vendor-completions/_zix"
check "installed files are: $(echo $expected) (got: $(echo $listing))" [ "$listing" = "$expected" ]
check "bin/zix is executable" [ -x "$prefix/bin/zix" ]
check "the installed program is the one built" cmp -s "$prefix/bin/zix" "$build/zix"

# The installed program, from the prefix.
check "zix -c 5 66 66 prints BBBBB" [ "$(run_built "$prefix/bin/zix" -c 5 66 66)" = BBBBB ]
check "zix -s 3 ab prints ababab" [ "$(run_built "$prefix/bin/zix" -s 3 ab)" = ababab ]
usage_head=$(run_built "$prefix/bin/zix" | head -n 5 | tr '\n' '|')
check "zix without arguments prints the usage text (got '$usage_head')" \
    [ "${usage_head%%www*}" = "|ZIX|" ]

# The manual page: found under the prefix by name, free of formatter
# warnings, and rendered with its sections.
page="$prefix/share/man/man1/zix.1"
check "man finds zix under the prefix" \
    [ "$(man -M "$prefix/share/man" -w zix 2>/dev/null)" = "$page" ]
warnings=$(groff -ww -man -z "$page" 2>&1)
check "groff -ww reports nothing (got: $warnings)" [ -z "$warnings" ]
check "lexgrog reads the NAME line" \
    grep -q 'zix - generate random character data and bulk text' <(lexgrog "$page" 2>&1)
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$prefix/man.err")
man_err=$(cat "$prefix/man.err")
check "man -l renders without messages (got: $man_err)" [ -z "$man_err" ]
for section in NAME SYNOPSIS DESCRIPTION NUMBERS 'PRINT ZONES' TERMINALS 'WINDOWS CONSOLE' \
    'EXIT STATUS' ENVIRONMENT FILES EXAMPLES; do
    check "the rendered page has the section $section" grep -qx "$section" <<<"$rendered"
done
widest=$(LC_ALL=C.UTF-8 wc -L <<<"$rendered")
check "no rendered line is wider than 80 columns (widest: $widest)" [ "$widest" -le 80 ]

echo "install: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
