#!/usr/bin/env bash
# Builds the whole project for 64-bit Windows with mingw-w64 and the Qt that
# scripts/build-qt-windows.sh cross-builds (reused once it is in the cache), runs every test under
# Wine on Qt's offscreen platform, gathers Morvane.exe with what it needs in morvane-windows/, and
# starts that Morvane.exe under Wine on a virtual display to check that its main window shows.
# Last, scripts/test-windows-installer.sh makes the installer and checks it in a fresh prefix.
#
#   build-windows-app/morvane/morvane-windows(.zip)  the folder to copy to a Windows machine
#   build-windows-app/main-window.png                the screenshot of the smoke run
#   build-windows-app/morvane/Morvane-<version>-x64.msi  the installer
#   build-windows-app/installed-open.png             the installed program opening an archive
#
#   --gui-tests-only   build and run only the tests labelled gui: the test command passes it, as
#                      scripts/test-windows.sh has just run the core's tests built for Windows
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
source scripts/packages.sh
source scripts/wine-env.sh
source scripts/project-version.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_APP_PACKAGES[@]}"

say() { printf 'test-windows-app: %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

# Run on the virtual display: start Morvane.exe ($2) with a window manager, wait for its main
# window, titled $4, take a screenshot of the screen ($3) and check that the window is there and
# drawn.
if [ "${1:-}" = --smoke-run ]; then
    exe="$2" shot="$3" title="$4"
    wine_window_manager
    wine "$exe" >"${shot%.png}.log" 2>&1 &
    window="$(wine_wait_for_window "${title//./\\.}")" \
        || die "no window titled '$title' within 2 minutes (output: ${shot%.png}.log)"
    # The main window shows two pictures and its texts: its area holds many colours, where a
    # window that failed to paint is one flat colour.
    wine_shoot_window "$window" "$shot"
    say "main window ${WIDTH}x${HEIGHT} at ${X},${Y} with $COLOURS colours; screenshot $shot"
    # Its form is 160 x 271 pixels.
    [ "$WIDTH" -ge 150 ] && [ "$HEIGHT" -ge 250 ] || die "the main window is only ${WIDTH}x${HEIGHT}"
    [ "$COLOURS" -ge 16 ] || die "the main window shows only $COLOURS colours: it did not paint"
    exit 0
fi

gui_tests_only=0
case "${1:-}" in
    "") ;;
    --gui-tests-only) gui_tests_only=1 ;;
    *) die "unknown argument '$1' (the only option is --gui-tests-only)" ;;
esac

qt="$(bash scripts/build-qt-windows.sh | tail -n 1)"
top="$repo/build-windows-app"
mkdir -p "$top"

wine_start "$top/wineprefix"

# Qt's own toolchain file adds the Qt prefix and Debian's host tools to what CMake may find,
# then loads the project's mingw-w64 toolchain.
build="$top/morvane"
say "configuring Morvane for Windows in $build"
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DMORVANE_UNITY_TESTS=ON

# The tests list themselves under Wine when ctest runs them, and load the Qt DLLs from the cache.
# On Windows the offscreen platform reads fonts from one folder only, by default one this Qt does
# not have.
WINEPATH="$(winepath -w "$qt/bin")"
QT_QPA_FONTDIR="$(winepath -w /usr/share/fonts/truetype/dejavu)"
export WINEPATH QT_QPA_FONTDIR QT_QPA_PLATFORM=offscreen
say "building Morvane.exe and the tests"
if [ "$gui_tests_only" = 1 ]; then
    cmake --build "$build" -j2 --target Morvane morvane-cli gui_test_programs
    tests=(-L gui)
else
    cmake --build "$build" -j2
    tests=()
fi
cmake --build "$build" --target morvane-windows

say "running the tests under Wine"
# As in scripts/test-windows.sh: only a test program that Wine did not start at all is started a
# second time; any test that ran and failed fails the leg.
ctest --test-dir "$build" --output-on-failure -j2 "${tests[@]}"
wine_retry_summary

# The smoke run uses only the gathered folder, as a Windows machine with nothing installed would.
unset WINEPATH QT_QPA_FONTDIR QT_QPA_PLATFORM
say "starting morvane-windows/Morvane.exe under Wine on a virtual display"
wine_stop
rm -f "$build/morvane-windows/Morvane.ini" "$top/main-window.png"
title="Morvane v$(project_version "$build")"
xvfb-run -a -s "-screen 0 1024x600x24" bash "$0" --smoke-run \
    "$build/morvane-windows/Morvane.exe" "$top/main-window.png" "$title"
bash scripts/test-windows-installer.sh "$build"
say "all passed; the Windows build is $build/morvane-windows.zip"
