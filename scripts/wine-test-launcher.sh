#!/usr/bin/env bash
# Runs a Windows test program under Wine: the CTest emulator of the Windows builds, so that
# `ctest` runs each test (and each listing of a program's tests) through it.
#
# Under load Wine has now and then failed to start a program at all: no output, nothing run, a
# failure within milliseconds. A test program shows that it started by creating the file named
# by MORVANE_TEST_STARTED first thing (tests/support does that for every test program). A run
# that failed, printed nothing and never created that file is started once more, and noted in
# the file named by MORVANE_WINE_RETRY_LOG when that is set; the test command counts those. A
# program that started and failed, or printed anything, fails at once: it is never run again.
# The test programs get the log's name too, as a Windows path: tests/support starts a program
# of its own once more only when Wine refused to create its process, and notes that there.
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: wine-test-launcher.sh PROGRAM [ARGUMENT...]" >&2; exit 2; }
wine=$(command -v wine64 || command -v wine) || { echo "wine-test-launcher: no wine" >&2; exit 2; }

work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT
# Wine maps drive Z: to the root of the Linux file system.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
export MORVANE_TEST_STARTED="$(windows_path "$work/started")"
retry_log=${MORVANE_WINE_RETRY_LOG:-}
if [ -n "$retry_log" ]; then
    export MORVANE_WINE_RETRY_LOG="$(windows_path "$retry_log")"
fi

for attempt in 1 2; do
    "$wine" "$@" >"$work/out" 2>"$work/err"
    status=$?
    cat "$work/out"
    cat "$work/err" >&2
    if [ "$status" -eq 0 ] || [ -e "$work/started" ] || [ -s "$work/out" ] || [ -s "$work/err" ] \
        || [ "$attempt" -eq 2 ]; then
        exit "$status"
    fi
    echo "wine-test-launcher: Wine did not start $(basename "$1") (status $status); starting it again" >&2
    if [ -n "$retry_log" ]; then
        printf '%s %s: not started (status %d)\n' "$(basename "$1")" "${*:2}" "$status" >>"$retry_log"
    fi
done
