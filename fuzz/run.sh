#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while (default 120 seconds each):
#   bash fuzz/run.sh [SECONDS]
# New inputs are kept in fuzz/corpus/<target>/ (not committed); an input that finds a fault is
# written to build-fuzz/ as crash-*, leak-* or timeout-*. Copy it into
# tests/archive/fuzz_regressions/<target>/ so that the normal test run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages clang libclang-rt-14-dev cmake ninja-build zlib1g-dev
seconds="${1:-120}"

cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz --target ArchiveReaderFuzzer PodHeaderFuzzer

for target in ArchiveReaderFuzzer PodHeaderFuzzer; do
    corpus="fuzz/corpus/$target"
    mkdir -p "$corpus"
    # Start from two sound archives and every input that once found a fault.
    cp -n fuzz/seeds/* tests/archive/fuzz_regressions/"$target"/* "$corpus"/ 2>/dev/null || true
    echo "== $target for $seconds s"
    (cd build-fuzz && "./$target" -max_total_time="$seconds" -max_len=4096 "../$corpus")
done
