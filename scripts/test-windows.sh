#!/usr/bin/env bash
# Cross-builds the core library, morvane-cli and their tests for 64-bit Windows with mingw-w64,
# runs every test under Wine, then checks that morvane-cli.exe gives the Linux tool's results.
# Everything it makes lives in build-windows/, the Wine prefix included; the desktop program is
# not part of this build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/wine-env.sh
ensure_packages "${WINDOWS_PACKAGES[@]}"

build=build-windows
mkdir -p "$build"
wine_start "$PWD/$build/wine-prefix"

cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DMORVANE_BUILD_GUI=OFF -DMORVANE_UNITY_TESTS=ON \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
cmake --build "$build" -j2
# The tests run through scripts/wine-test-launcher.sh, which starts a second time only a test
# program that Wine did not start at all; any test that ran and failed fails the leg.
ctest --test-dir "$build" --output-on-failure -j2
wine_retry_summary
bash scripts/compare-windows.sh
echo "Windows build: $build/src/cli/morvane-cli.exe"
