#!/usr/bin/env bash
# Builds Morvane with its tests and runs every test: the Linux build with CTest, then the Windows
# build of the core and morvane-cli under Wine (scripts/test-windows.sh), then the Windows build of
# the application, Morvane.exe, with its tests under Wine (scripts/test-windows-app.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
bash scripts/test-windows.sh
bash scripts/test-windows-app.sh
