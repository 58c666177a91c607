#!/usr/bin/env bash
# Installs what is missing, checks the formatting, then builds and runs the whole test suite:
#   1. clang-format over every tracked C++ file (fails on any drift);
#   2. a plain build, clang-tidy over the sources, and the tests (unit, integration,
#      interop);
#   3. the tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. the integration tests under ThreadSanitizer;
#   5. a time-boxed run of every fuzz target (clang, libFuzzer): a smoke run of 10 s
#      each from the committed corpus; the long runs are made by hand and merged into it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

jobs=$(nproc)
# Each stage's header says when it began, so a slow stage shows in the log.
stage() { echo "== $1 == (${SECONDS} s into the run)"; }
# configure_and_build DIR [cmake options...] [-- targets...]
configure_and_build() {
    local dir=$1
    shift
    local options=() targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    targets=("$@")
    cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
    if [ ${#targets[@]} -eq 0 ]; then
        cmake --build "$dir" -j "$jobs"
    else
        cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
    fi
}

stage "formatting (clang-format)"
# Fails before any build, so a formatting slip costs seconds, not the whole suite.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

# The builds compile each target in batches (unity builds): the Qt and test framework
# headers are parsed once a batch instead of once a file.
unity=-DCMAKE_UNITY_BUILD=ON

stage "plain build"
configure_and_build build -DKESTO_BUILD_TESTS=ON "$unity"
stage "clang-tidy (checks in .clang-tidy)"
# clang-tidy reads every source on its own, so it takes the compile commands of a tree
# configured file by file (configured only: the sources need nothing generated). The
# GCC-only warning options there are unknown to clang, hence -Wno-unknown-warning-option.
cmake -S . -B build-tidy -G Ninja -DKESTO_BUILD_TESTS=OFF >/dev/null
run-clang-tidy -p build-tidy -j "$jobs" -quiet -extra-arg=-Wno-unknown-warning-option \
    "^$PWD/(base|platform|profile|settings|common|tools|manager|colophon|wayfinder|server|bench)/" >build-tidy/clang-tidy.log 2>&1 ||
    { grep -E "warning:|error:" build-tidy/clang-tidy.log || tail -n 40 build-tidy/clang-tidy.log; exit 1; }
stage "plain tests"
ctest --test-dir build --output-on-failure -j "$jobs"

stage "AddressSanitizer + UndefinedBehaviorSanitizer build"
configure_and_build build-asan -DKESTO_BUILD_TESTS=ON -DKESTO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "$unity"
stage "AddressSanitizer + UndefinedBehaviorSanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

stage "ThreadSanitizer build (integration tests)"
# Only what the integration tests run: the installed program folder and their executable.
configure_and_build build-tsan -DKESTO_BUILD_TESTS=ON -DKESTO_TSAN=ON -DKESTO_BUILD_GUI=OFF "$unity" \
    -- kftpd kesto_catalogues integration_tests
stage "ThreadSanitizer tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L integration

stage "fuzz targets (time-boxed)"
CC=clang CXX=clang++ configure_and_build build-fuzz -DKESTO_BUILD_TESTS=OFF -DKESTO_FUZZ=ON -DKESTO_BUILD_GUI=OFF \
    -DKESTO_FUZZ_SECONDS="${KESTO_FUZZ_SECONDS:-10}" -- fuzz_targets
stage "fuzz runs"
ctest --test-dir build-fuzz --output-on-failure -j "$jobs"
stage "done"
