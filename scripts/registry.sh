# Sourced by scripts/setup and scripts/sysroot: apt-get against a registry
# that is sometimes out of step with itself (an index that does not match its
# release file while the mirror syncs, a listed file that is missing).
#
#   registry_update WHAT   apt-get update (WHAT names it in messages), tried
#                          again a few times while an index fails, since a
#                          mirror sync takes minutes; then it goes on with the
#                          lists it has and names each index it could not get.
#   registry_words TEXT    the lines of apt's output that say what went wrong.
#   registry_sources RELEASE   one-line apt sources for RELEASE's suites
#                          (RELEASE, -updates, -security: main), from the
#                          mirrors this machine uses for its own release.
#
# The indexes that could not be had are also left in $registry_log, when set.
#
# ZIX_SETUP_TRIES (3) and ZIX_SETUP_PAUSE (30 seconds) set how often and how
# far apart the update is tried.

[ "$(id -u)" -eq 0 ] && as_root=() || as_root=(sudo)

registry_words() {
    local words
    words=$(grep -E '^(E|W): |^ .*(Depends|Conflicts|Breaks):|404 +Not Found' <<<"$1" |
        grep -vE 'Some index files failed|Unable to correct problems|unsandboxed|held packages' |
        sed 's/^ *//')
    # apt's verdict first, then the first of the reasons it gives.
    { grep -E '^(E|W): ' <<<"$words" | head -n 2; grep -vE '^(E|W): ' <<<"$words" | head -n 2; } |
        sed 's/^[EW]: //'
}

registry_update() {
    local what=$1 tries=${ZIX_SETUP_TRIES:-3} pause=${ZIX_SETUP_PAUSE:-30} try out failed
    local apt=(apt-get -o Acquire::Retries=3 -o DPkg::Lock::Timeout=600)
    # The project's own apt (APT_CONFIG) keeps its lists in the build folder.
    [ -n "${APT_CONFIG:-}" ] || apt=("${as_root[@]}" "${apt[@]}")
    for ((try = 1; ; try++)); do
        out=$("${apt[@]}" update 2>&1)
        # "Err:N URI SUITE/COMPONENT ARCH Packages", its reason on the next line.
        failed=$(awk 'what != "" { reason = /^ / ? $0 : ""; sub(/^ +/, "", reason)
                if (reason == "") reason = "failed (apt gives no reason)"
                print what ": " reason; what = "" }
            /^Err:/ { sub(/^Err:[0-9]+ /, ""); what = $0 }
            END { if (what != "") print what ": failed" }' <<<"$out")
        if [ -z "$failed" ] && ! grep -q '^E: ' <<<"$out"; then
            return 0
        fi
        [ "$try" -lt "$tries" ] || break
        echo "apt-get update ($what): an index failed; trying again in $pause s (try $((try + 1)) of $tries)"
        sleep "$pause"
    done
    [ -n "$failed" ] || failed=$(registry_words "$out")
    echo "apt-get update ($what): going on with the lists at hand; could not get:"
    sed 's/^/    /' <<<"$failed"
    [ -z "${registry_log:-}" ] || sed "s|^|$what: |" <<<"$failed" >>"$registry_log"
    return 0
}

registry_sources() {
    local host uri suite
    host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE)' | sort -u |
        while read -r uri suite; do
            [[ $suite =~ ^$host(-.*)?$ ]] || continue
            echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $1${BASH_REMATCH[1]} main"
        done
}
