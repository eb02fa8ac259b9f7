# shellcheck shell=bash
# The lanes of the test command (sourced by scripts/test).
#
# Two lanes run side by side. The build lane configures and builds one preset
# after another, at a lower priority; the test lane (scripts/test itself)
# runs each preset's tests once it is built, while the next one builds. The
# tests mostly wait on the programs they start, so the builds take the time
# they leave. The probes and the side suites run beside both. Each of them
# tells the test lane that a step is done with a mark: a file in $work.

# mark FILE LINE...: leaves FILE with the lines. It is written beside and
# then renamed, so that whoever finds FILE finds all of it.
mark() {
    printf '%s\n' "${@:2}" >"$1.part" && mv "$1.part" "$1"
}

# await FILE PID: waits for the mark FILE that process PID leaves; fails
# when PID has ended without leaving it.
await() {
    until [ -f "$1" ]; do
        kill -0 "$2" 2>/dev/null || [ -f "$1" ] || return 1
        sleep 1
    done
}

# outcome FILE PID: once process PID has left the mark FILE of a timed step,
# prints it ("STATUS SECONDS"), or "1 0" when PID ended without leaving it.
outcome() {
    if await "$1" "$2"; then cat "$1"; else echo "1 0"; fi
}

# timed MARK LOG COMMAND...: runs COMMAND, its output in LOG, then leaves the
# mark MARK: its exit status and the seconds it took.
timed() {
    local mark=$1 log=$2 start=$SECONDS status=0
    shift 2
    "$@" >"$log" 2>&1 || status=$?
    mark "$mark" "$status $((SECONDS - start))"
}

# lower_priority BY: this shell, and all it starts from now on, run BY steps
# nicer (to 19 at most); where that is not allowed, as they are.
lower_priority() {
    local to=$(($(nice) + $1))
    [ $to -le 19 ] || to=19
    renice --priority $to --pid $BASHPID >/dev/null 2>&1 || :
}

# build PRESET: configures and builds the preset.
build() { cmake --preset "$1" && cmake --build --preset "$1"; }

# build_lane PROBES_PID: in the suites' order, builds the preset of each build
# suite whose group is set up (its output in $work/build.PRESET.log), leaving
# the mark $work/built.PRESET, and runs each "last" suite's function (its
# output in $work/FUNCTION.log), leaving the mark $work/FUNCTION. At the first
# preset that the probes choose it waits for them (process PROBES_PID).
build_lane() {
    local suite what
    for suite in "${suites[@]}"; do
        group_ok "${suite_group[$suite]}" || continue
        if probes_choose "$suite"; then
            await "$work/probed" "$1" || return
            take_probes
        fi
        what=${suite_what[$suite]}
        case ${suite_kind[$suite]} in
            build) timed "$work/built.$what" "$work/build.$what.log" build "$what" ;;
            last) timed "$work/$what" "$work/$what.log" "$what" ;;
        esac
    done
}

# side_suite FUNCTION: runs a side suite's function (its output in
# $work/FUNCTION.log) and leaves the mark $work/FUNCTION.
side_suite() { timed "$work/$1" "$work/$1.log" "$1"; }

# kill_tree PID: ends a process and everything it started.
kill_tree() {
    local child
    for child in $(pgrep -P "$1"); do kill_tree "$child"; done
    kill "$1" 2>/dev/null
}
