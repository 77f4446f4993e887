#!/usr/bin/env bash
# Checks scripts/wine-test-launcher.sh ($1) under the Wine the Windows legs set up: it starts a
# program again only when the program failed, printed nothing and never created its start marker,
# notes that retry, and passes every other failure on as it came.
set -uo pipefail
launcher=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MORVANE_WINE_RETRY_LOG=$work/retries
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Runs the launcher on a command of cmd.exe; checks its exit status and the retries it noted.
check() {
    local name=$1 command=$2 status=$3 retries=$4 got
    : >"$MORVANE_WINE_RETRY_LOG"
    "$launcher" cmd /c "$command" >"$work/out" 2>&1
    got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, not $status ($(cat "$work/out"))"
    got=$(grep -c . "$MORVANE_WINE_RETRY_LOG")
    [ "$got" -eq "$retries" ] || fail "$name: $got retries noted, not $retries"
}

# A program that never started: no output and no marker, as Wine leaves it.
check "silent failure, no marker" "exit 3" 3 1
# A test that failed and said so.
check "failure with output" "echo the test failed & exit 4" 4 0
# A test program that started (it made the marker) and failed without a word.
check "silent failure after the start" "type nul > %MORVANE_TEST_STARTED% & exit 5" 5 0
check "success" "exit 0" 0 0

[ "$failures" -eq 0 ] && echo "wine-test-launcher: starts again only a program that never started"
exit "$failures"
