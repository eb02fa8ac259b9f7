#!/usr/bin/env bash
# Installs a build into a temporary prefix and completes a few command lines
# in bash, zsh and fish, each loading its file from where it was installed:
# the first word offers -c, -s and -a (zsh and fish with what each does),
# and nothing is offered after a number.
# Usage: tests/packages/completion_test.sh BUILD_DIR
set -uo pipefail
build=${1:?usage: completion_test.sh BUILD_DIR}
work=$(mktemp -d /tmp/zix-completion-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/checks.sh"
cmake --install "$build" --prefix "$work" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
share=$work/share
# fish loads the completions of a command it finds on the PATH; the shells
# keep nothing of theirs in the user's home.
export PATH=$work/bin:$PATH HOME=$work
lines=('zix ' 'zix -c 5 ' 'zix -c 5 65 ' 'zix -s 5 ')

# Each shell prints "[LINE] COUNT" and what it offers, one a line, sorted.
complete_bash() {
    bash --norc --noprofile -c '. "$1" && registered=$(complete -p zix) && fn=${registered##*-F } || exit
        [[ $registered != *"-o default"* ]] || echo "[and file names when nothing is offered]"
        for line in "${@:2}"; do
            read -ra COMP_WORDS <<<"$line" && COMP_WORDS+=("") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            ${fn%% *} zix "" "${COMP_WORDS[COMP_CWORD - 1]}"
            echo "[$line] ${#COMPREPLY[@]}" && printf "%s\n" "${COMPREPLY[@]}" | sort -u | grep .
        done' bash "$share/bash-completion/completions/zix" "${lines[@]}"
}
complete_fish() {
    fish --no-config -c 'set fish_complete_path $argv[1]
        for line in $argv[2..]; set c (complete -C $line); echo "[$line]" (count $c); string join \n -- $c; end' \
        "$share/fish/vendor_completions.d" "${lines[@]}"
}
# zsh completes only in its line editor: an interactive zsh on a pseudo-terminal
# (zpty), Tab bound to listing the choices, which it draws as "-c  -- what".
# Each command waits for the prompt after the one before, so that no line is
# typed before Tab is bound, however slow the machine.
complete_zsh() {
    timeout 60 zsh -f -s "$share/zsh/vendor-completions" "${lines[@]}" <<'EOF' |
zmodload zsh/zpty && zpty z TERM=xterm zsh -f -i || exit
zpty -w z "fpath=(${(q)1} \$fpath); autoload -Uz compinit; compinit -u -D; PS1='<re''ady>'"
zpty -r z out '*<ready>*'
zpty -w z '_l() { _main_complete; print -l "" "[$BUFFER] $compstate[nmatches]" }'
zpty -r z out '*<ready>*'
zpty -w z 'zle -C l list-choices _l; bindkey "^I" l'
zpty -r z out '*<ready>*' && for line in "${@:2}"; do zpty -w -n z "$line"$'\t\C-u'; done
zpty -r z out "*\\[${(b)@[-1]}\\] [0-9]*" && print -r -- "$out"
EOF
        tr '\r' '\n' | sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/^\(-[a-z]\)  -- /\1\t/' |
        grep -aE $'^(\\[zix|-[a-z]\t)'
}

rest=$'[zix -c 5 ] 0\n[zix -c 5 65 ] 0\n[zix -s 5 ] 0'
described=$'[zix ] 3\n-a\tthe character table\n-c\trandom characters\n-s\ta string, num times\n'$rest
missing=()
for shell in bash zsh fish; do
    if ! command -v $shell >/dev/null; then missing+=("$shell") && continue; fi
    expected=$described
    [ $shell != bash ] || expected=$'[zix ] 3\n-a\n-c\n-s\n'$rest
    got=$(complete_$shell)
    check "$shell offers:
$expected
got:
$got" [ "$got" = "$expected" ]
done
echo "completion: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || exit 1
for shell in "${missing[@]}"; do echo "SKIP: $shell is not installed (scripts/setup package installs it)"; done
[ ${#missing[@]} -eq 0 ] || exit 77
