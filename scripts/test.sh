#!/usr/bin/env bash
# Builds Morvane with its tests and runs every test, in four legs:
#   linux        the Linux build (build/) and all its tests: unit, GUI (offscreen) and packaging
#   sanitizers   the Linux tests under AddressSanitizer + UndefinedBehaviorSanitizer and the
#                threaded code's tests under ThreadSanitizer (scripts/test-sanitizers.sh)
#   windows      the Windows build of the core and morvane-cli, its tests under Wine and the
#                comparison with the Linux tool (scripts/test-windows.sh)
#   windows-app  the Windows build of the application, the windows' tests under Wine (the core's
#                ran in the leg before) and the smoke run of Morvane.exe (scripts/test-windows-app.sh)
# The Qt the last leg needs (scripts/build-qt-windows.sh) is built from the start, in the
# background at a low priority, when it is not in the cache yet: it takes the processor time the
# other legs leave idle. At the end the command prints where the time went.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

start_all=$SECONDS
summary=()
leg=""
minutes() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }
report() {
    local status=$?
    trap - EXIT
    [ -z "${qt_pid:-}" ] || kill -- "-$qt_pid" 2>/dev/null || true
    echo
    echo "== Where the time went"
    printf '  %s\n' "${summary[@]}"
    for retries in build-windows/wine-prefix.retries build-windows-app/wineprefix.retries; do
        [ -f "$retries" ] || continue
        printf '  %s: Wine failed to start a program %d time(s); each was started again\n' \
            "${retries%%/*}" "$(grep -c . "$retries" || true)"
    done
    if [ "$status" -eq 0 ]; then
        echo "  all tests passed in $(minutes $((SECONDS - start_all)))"
    else
        echo "  FAILED in the $leg leg after $(minutes $((SECONDS - start_all)))"
    fi
    exit "$status"
}
trap report EXIT

# Runs one leg, timing it.
run_leg() {
    leg=$1
    shift
    echo "== $leg"
    local start=$SECONDS
    "$@"
    summary+=("$(printf '%-12s %s' "$leg" "$(minutes $((SECONDS - start)))")")
}

install_packages() {
    ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}" \
        "${WINDOWS_PACKAGES[@]}" "${QT_WINDOWS_PACKAGES[@]}" "${WINDOWS_APP_PACKAGES[@]}"
}

# Each test program compiles as one file, and the code under test with line tables only: the
# same tests in about a third of the processor time file by file at -g took.
linux_leg() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
        -DMORVANE_UNITY_TESTS=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
    cmake --build build
    ctest --test-dir build --output-on-failure -j2
}

# Waits for the background Qt build, at the normal priority from now on where the system allows
# it (nothing else of ours runs meanwhile). Should the build have failed, the application leg
# says why when it runs the build again, which resumes where this one stopped.
wait_for_qt() {
    renice -n 0 -g "$qt_pid" >/dev/null 2>&1 || true
    wait "$qt_pid" || echo "the background Qt build failed (log: $qt_log)"
    qt_pid=""
    local built
    built=$(sed -n 's/^build-qt-windows: done in \(.*\): .*/\1/p' "$qt_log")
    grep -q '^build-qt-windows: reusing' "$qt_log" && built="none, Qt was in the cache"
    summary+=("(the Qt build in the background took ${built:-a failed run, see $qt_log})")
}

rm -f build-windows/wine-prefix.retries build-windows-app/wineprefix.retries
# Every package first, so that the background build never waits for apt.
run_leg packages install_packages
mkdir -p build-windows-app
qt_log=build-windows-app/build-qt-windows.log
# In a process group of its own, so that its priority can be raised and the whole build stopped.
setsid nice -n 15 bash scripts/build-qt-windows.sh >"$qt_log" 2>&1 &
qt_pid=$!

run_leg linux linux_leg
run_leg sanitizers bash scripts/test-sanitizers.sh
run_leg windows bash scripts/test-windows.sh
run_leg qt-wait wait_for_qt
run_leg windows-app bash scripts/test-windows-app.sh --gui-tests-only
