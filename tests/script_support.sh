# Shared by the whole-program test scripts: sourced, never run.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs a command on a fresh Xvfb server for at most $1 seconds. The search for
# a free server number starts at a random place, so that runs side by side do
# not race for one number and end up on one server, seeing each other's windows.
# The server must not reset when its last client leaves: a program started just
# then (the second dialog of a run) would find no display to open.
on_xvfb() {
    timeout "$1" xvfb-run -a -n $((RANDOM % 400 + 100)) -s "-screen 0 1024x768x24 -noreset" "${@:2}"
}

# A fresh working directory, removed at the end, as the current directory and
# the settings and cache folders' home.
enter_work_directory() {
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work"
    export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
}

# Checks that go on after a failure: check DESCRIPTION COMMAND... counts the
# commands that fail; checks_passed ends the script with the count.
failures=0
check() {
    local what=$1
    shift
    if ! "$@"; then echo "FAIL: $what"; failures=$((failures + 1)); fi
}
checks_passed() {
    echo "$1: $failures failed"
    [ "$failures" = 0 ]
}
