#!/usr/bin/env bash
# Installs what is missing, builds the plain and the sanitizer configuration, and
# runs the whole test suite in both.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

jobs=$(nproc)
run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== plain build =="
run_suite build -DKESTO_BUILD_TESTS=ON
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DKESTO_BUILD_TESTS=ON -DKESTO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
