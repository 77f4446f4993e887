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
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: wine-test-launcher.sh PROGRAM [ARGUMENT...]" >&2; exit 2; }
wine=$(command -v wine64 || command -v wine) || { echo "wine-test-launcher: no wine" >&2; exit 2; }

work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT
# Wine maps drive Z: to the root of the Linux file system.
export MORVANE_TEST_STARTED="Z:${work//\//\\}\\started"

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
    if [ -n "${MORVANE_WINE_RETRY_LOG:-}" ]; then
        printf '%s %s (status %d)\n' "$(basename "$1")" "${*:2}" "$status" >>"$MORVANE_WINE_RETRY_LOG"
    fi
done
