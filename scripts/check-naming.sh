#!/usr/bin/env bash
# Checks that the code follows the naming rule in .clang-tidy: configures a build folder of its
# own with a compilation database (the windows' generated headers included) and runs
# clang-tidy's identifier-naming check over every source file. `--fix` renames what it finds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MORVANE_TIDY_BUILD:-build-tidy}
fix=()
[[ ${1:-} == --fix ]] && fix=(-fix)
command -v run-clang-tidy >/dev/null || apt-get install -y clang-tidy
cmake -S . -B "$build" -G Ninja -DBUILD_TESTING=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
# clang-tidy needs the headers that moc and uic generate.
ninja -C "$build" -t targets all | sed -n 's/^\([A-Za-z_]*_autogen\): phony$/\1/p' | xargs -r ninja -C "$build" >/dev/null
run-clang-tidy -quiet -p "$build" -j "${MORVANE_TIDY_JOBS:-2}" "${fix[@]}" "$PWD/(src|tests|fuzz|bench)/"
