#!/usr/bin/env bash
# Builds Morvane with sanitizers and runs its Linux tests under them; any finding fails the run.
#
#   build-asan/  AddressSanitizer and UndefinedBehaviorSanitizer: every test but the packaging
#                checks (which install and package the build rather than run its code), GUI
#                tests included, on Qt's offscreen platform
#   build-tsan/  ThreadSanitizer: the tests labelled "threads", those of the code that runs
#                helper threads (the build's read-ahead, the extraction writers, the settings
#                file writers); only their programs are built, without the desktop program
#
#   bash scripts/test-sanitizers.sh            both
#   bash scripts/test-sanitizers.sh address    one of them (address or thread)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(address thread)

# -O1 keeps the builds and the runs quick, -g1 gives the reports their file names and lines; no
# NDEBUG, so that assertions are checked too.
common=(-G Ninja -DBUILD_TESTING=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_UNITY_TESTS=ON
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1")
# Stop at the first finding, with the stack that led to it.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

for run in "${runs[@]}"; do
    case "$run" in
        address)
            echo "== AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)"
            cmake -S . -B build-asan "${common[@]}" -DMORVANE_SANITIZE=address,undefined >/dev/null
            cmake --build build-asan -j2
            ctest --test-dir build-asan --output-on-failure -j2 -LE packaging
            ;;
        thread)
            echo "== ThreadSanitizer (build-tsan/)"
            cmake -S . -B build-tsan "${common[@]}" -DMORVANE_SANITIZE=thread \
                -DMORVANE_BUILD_GUI=OFF >/dev/null
            cmake --build build-tsan -j2 --target threads_test_programs
            ctest --test-dir build-tsan --output-on-failure -j2 -L threads
            ;;
        *)
            echo "test-sanitizers.sh: unknown run '$run' (address or thread)" >&2
            exit 2
            ;;
    esac
done
