#!/usr/bin/env bash
# Measures the archive window: opening a million entries (time until usable once the reader has
# read them, memory beyond the reader's per entry), the filter's answer, a sort, and extraction
# of 20,000 files from the window against morvane-cli. Prints a Markdown table.
#
#   bash bench/archive-window.sh [ENTRIES]
#
# Builds both programs (Release, in build-bench-gui/) and runs on Qt's offscreen platform; its
# archives (about 120 MB) go to a temporary folder removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench-gui -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench-gui -j2 --target archive-window-bench morvane-cli >/dev/null
exec build-bench-gui/bench/archive-window-bench build-bench-gui/src/cli/morvane-cli "$@"
