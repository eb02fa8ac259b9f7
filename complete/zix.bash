# bash completion for zix.
# The first word picks the mode. What follows is a count, a range of codes
# or the string to repeat, all of the user's own making: nothing is offered
# for them, file names least of all, since zix reads no file. The shell's
# own completions ($VARIABLE, ~user) still work there (bashdefault), as
# they do in zsh and fish.
_zix() {
    COMPREPLY=()
    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W '-c -s -a' -- "${COMP_WORDS[1]}")
    fi
}
complete -o bashdefault -F _zix zix
