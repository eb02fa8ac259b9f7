# shellcheck shell=bash
# Each suite's run in the test lane, and its row in the table's record
# (sourced by scripts/test).

# ctest_counts PRESET: runs the preset's tests with a JUnit record, and keeps
# their counts and the reasons for skips in $work/PRESET.counts
# (scripts/test_counts).
ctest_counts() {
    local junit=$work/$1.xml status=0
    ctest --preset "$1" --output-junit "$junit" || status=$?
    if [ -f "$junit" ]; then
        scripts/test_counts "$junit" >"$work/$1.counts"
    fi
    return $status
}

# check_counts LOG: the counts of a suite that is one command, from its last
# line ("... N passed, M failed") and its "SKIP: ..." lines.
check_counts() {
    sed -n 's/.* \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$1" | tail -n 1 |
        { read -r p f && echo "$p $(grep -c '^SKIP: ' "$1") $f"; }
    sed -n 's/^SKIP: /1 /p' "$1"
}

# row NAME HOW RESULT COUNTS TIME: a line of the table's record, $work/rows
# (scripts/test_counts table), between tabs. A suite that did not run gives
# its reason in COUNTS' place.
row() { printf '%s\t%s\t%s\t%s\t%s\n' "$@" >>"$work/rows"; }

# run_suite NAME: runs the suite, or says why it cannot, and records its row.
# The build lane runs as process $build_lane_pid, a side suite as
# ${side_pid[FUNCTION]}.
run_suite() {
    local name=$1 how=${suite_how[$1]} what=${suite_what[$1]} group=${suite_group[$1]}
    echo
    echo "==== $name: $how"
    if ! group_ok "$group"; then
        echo "not run: scripts/setup could not set up '$group'"
        row "$name" "$how" "not run" "$group: $(tail -n +2 "build/setup/$group" | paste -sd' ')" -
        return
    fi
    case ${suite_kind[$name]} in
        build) run_preset "$name" "$how" "$what" ;;
        check) run_check "$name" "$how" "$what" ;;
        last) run_marked "$name" "$how" "$what" "$build_lane_pid" ;;
        side) run_marked "$name" "$how" "$what" "${side_pid[$what]}" ;;
    esac
}

# run_preset NAME HOW PRESET: once the build lane has built the preset, runs
# its tests.
run_preset() {
    local name=$1 how=$2 preset=$3 status built start
    read -r status built < <(outcome "$work/built.$preset" "$build_lane_pid")
    start=$SECONDS
    if [ "$status" -eq 0 ]; then
        ctest_counts "$preset" || status=$?
    else
        echo "The build failed (the last 40 lines of its output):"
        tail -n 40 "$work/build.$preset.log"
    fi
    row "$name" "$how" "$status" "$work/$preset.counts" "build $built s, tests $((SECONDS - start)) s"
}

# run_check NAME HOW FUNCTION: a suite that is one command, run here.
run_check() {
    local start=$SECONDS status=0
    "$3" 2>&1 | tee "$work/$3.log" || status=$?
    check_counts "$work/$3.log" >"$work/$3.counts"
    row "$1" "$2" "$status" "$work/$3.counts" "$((SECONDS - start)) s"
}

# run_marked NAME HOW FUNCTION PID: a suite that is one command, run by
# process PID, which leaves the mark $work/FUNCTION.
run_marked() {
    local status took
    read -r status took < <(outcome "$work/$3" "$4")
    cat "$work/$3.log"
    check_counts "$work/$3.log" >"$work/$3.counts"
    row "$1" "$2" "$status" "$work/$3.counts" "$took s"
}
