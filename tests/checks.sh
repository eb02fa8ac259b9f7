# Counting checks for the shell tests. Source it, then call
# `check DESCRIPTION COMMAND...` (or pass / fail) and report $passed, $failed.
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass; else fail "$what"; fi
}
