#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   tools/run-tests.sh              normal build in build/
#   tools/run-tests.sh --sanitize   AddressSanitizer and UBSan build in build-asan/
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/deps.sh"

build="$root/build"
extra=()
if [[ ${1:-} == --sanitize ]]; then
    build="$root/build-asan"
    extra=(-DQUILLERY_SANITIZE=ON -DQUILLERY_BENCH=OFF)
    # Chromium inside QtWebEngine frees some objects with a size of its own making, which
    # the sanitizer's allocator reports as new-delete-type-mismatch: that one check is off.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
"$root/tools/build.sh" "$build" "${extra[@]}"
cd "$build"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
