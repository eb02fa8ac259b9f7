#!/usr/bin/env bash
# zix.exe on a real console screen buffer: wine's console, attached to a tmux
# pane of 100 columns by 30 rows, draws the buffer's cells in the pane. Each
# case clears the pane, runs zix once, and reads the pane and its cursor back.
#   wine_console_test.sh WINE_RUN ARCH PREFIX ZIX_EXE
# (the build's emulator, cmake/wine-run with its two arguments, then the program)
set -euo pipefail
wine_run=("${@:1:$#-1}")
zix=${!#}

socket=""
runs=0
work=$(mktemp -d)
stop_tmux() { [ -z "$socket" ] || tmux -L "$socket" kill-server >/dev/null 2>&1 || true; }
trap 'stop_tmux; rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
failures=0

# Runs zix with the given arguments in a fresh pane, until the pane shows the
# text given first; the pane stays open so that its contents can be read.
run_on_console() {  # want, zix's arguments...
    local want=$1
    shift
    # Each run gets a tmux server of its own.
    stop_tmux
    runs=$((runs + 1))
    socket=zix-console-$$-$runs
    local script=$work/run.sh
    {
        echo "#!/usr/bin/env bash"
        # Wine draws buffer row r on the terminal's row r: start from a clean
        # screen with the cursor at the top left.
        echo "printf '\\033[H\\033[2J'"
        printf '%q ' "${wine_run[@]}" "$zix" "$@"
        echo
        printf 'tmux -L %q wait-for -S zix-done\n' "$socket"
        echo "exec sleep 600"
    } >"$script"
    tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 30 "bash $script"
    timeout 120 tmux -L "$socket" wait-for zix-done
    # Wine's console draws from a process of its own: wait until the pane
    # shows the run's text and stops changing (a slow start gives two empty
    # captures that match).
    local before after
    before=$(tmux -L "$socket" capture-pane -p)
    for _ in $(seq 100); do
        sleep 0.2
        after=$(tmux -L "$socket" capture-pane -p)
        [ "$after" = "$before" ] && [[ $after == *"$want"* ]] && break
        before=$after
    done
}

pane_row() { tmux -L "$socket" capture-pane -p | sed -n "$(($1 + 1))p"; }
cursor() { tmux -L "$socket" display -p '#{cursor_x},#{cursor_y}'; }

expect() {  # what, got, want
    if [ "$2" != "$3" ]; then
        echo "FAIL $1: got [$2], want [$3]"
        failures=$((failures + 1))
    fi
}

# String mode: the text in the cells. Each copy writes "abcdef", goes back to
# the row's start, puts X over the a, tabs to column 8 with spaces (which blank
# the rest of "bcdef"), writes Y, backs up two columns without erasing, writes
# Z over the space in column 7, and goes down a row.
run_on_console 'X      ZY' -s 3 $'abcdef\rX\tY\b\bZ\n'
for row in 0 1 2; do
    expect "string mode row $row" "$(pane_row $row)" "X      ZY"
done
expect "string mode row 3" "$(pane_row 3)" ""
expect "string mode cursor" "$(cursor)" "0,3"

# The table on a 100-column console: seven 14-column zones to a row. Its 34
# lines (the empty first one, 32 rows, the closing newline) scroll the first
# five off the 30-row buffer, and the cursor ends on the last row. Wine draws
# the DEL cell (code 127) as the DEL byte, which the terminal does not show,
# so the rest of that row comes out one column to the left on the pane: there
# only the labels are checked, in order.
run_on_console '255 ' -a
for row in $(seq 0 27); do
    line=$(pane_row "$row")
    labels=""
    for zone in 0 1 2 3 4 5 6; do
        labels="$labels $((60 + row * 7 + zone))"
    done
    expect "table row $row labels" "$(printf '%s' "$line" | grep -o '[0-9][0-9]*' | tr '\n' ' ')" "${labels# } "
    [ $((60 + row * 7)) -le 127 ] && [ $((66 + row * 7)) -ge 127 ] && continue
    for zone in 0 1 2 3 4 5 6; do
        code=$((60 + row * 7 + zone))
        expect "table row $row zone $zone" "${line:$((zone * 14)):4}" "$(printf '%-4s' "$code")"
        if [ "$code" -lt 127 ]; then
            glyph=$(printf "\\x$(printf '%x' "$code")")
            expect "table code $code" "${line:$((zone * 14 + 4)):1}" "$glyph"
        fi
    done
done
expect "table row 28" "$(pane_row 28)" ""
expect "table row 29" "$(pane_row 29)" ""
expect "table cursor" "$(cursor)" "0,29"

# A line that fills the bottom row to its last cell: the cursor stays parked in
# that cell, and as the program ends there nothing scrolls.
newlines=$(printf '\n%.0s' $(seq 29) && echo .)  # the dot keeps the line feeds
xs=$(printf 'x%.0s' $(seq 100))
run_on_console "$xs" -s 1 "${newlines%.}$xs"
expect "parked row 28" "$(pane_row 28)" ""
expect "parked row 29" "$(pane_row 29)" "$xs"
expect "parked cursor" "$(cursor)" "99,29"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "wine console: all checks passed"
