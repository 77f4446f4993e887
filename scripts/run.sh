#!/usr/bin/env bash
# Builds Morvane and starts it on the user's display.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display to show Morvane on (DISPLAY is not set)." >&2
    echo "Start it from a desktop session, or without one: xvfb-run -a bash scripts/run.sh" >&2
    exit 1
fi
source scripts/packages.sh
# The windows' font and the X11 platform plugin's libraries come with these.
ensure_packages "${BUILD_PACKAGES[@]}" fonts-dejavu-core fonts-dejavu-extra libqt6gui6
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DMORVANE_BUILD_GUI=ON
cmake --build build --target Morvane
exec build/src/app/Morvane
