#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one.
#   tools/run-fuzz.sh [seconds per target, default 300]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-300}
"$root/tools/deps.sh" --fuzz
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLERY_FUZZ=ON -DQUILLERY_TESTS=OFF -DQUILLERY_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target fuzz_ExpandTemplate fuzz_ReadLine \
    fuzz_ImportExtraction fuzz_ImportPresets
for target in ${QUILLERY_FUZZ_TARGETS:-fuzz_ExpandTemplate fuzz_ReadLine fuzz_ImportExtraction fuzz_ImportPresets}; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp -n "$root"/fuzz/seeds/"$target"/* "$corpus"/ 2>/dev/null || true
    echo "== $target for $seconds s"
    "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
done
