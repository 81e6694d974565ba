#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the regular build, the
# sanitizer build (ASan + UBSan) and a short libFuzzer run over the file loaders.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

jobs=$(nproc)
fuzz_seconds=${ZEN_FUZZ_SECONDS:-20}

build() {  # build DIR [cmake args...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

echo "== regular build"
build build
ctest --test-dir build -j "$jobs" --output-on-failure

if [ "${ZEN_SKIP_SANITIZE:-0}" != 1 ]; then
    echo "== sanitizer build (ASan + UBSan)"
    build build-asan -DZEN_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan -j "$jobs" --output-on-failure
fi

if [ "${ZEN_SKIP_FUZZ:-0}" != 1 ]; then
    echo "== fuzzing (${fuzz_seconds}s per target)"
    CC=clang CXX=clang++ build build-fuzz -DZEN_FUZZ=ON -DZEN_TESTS=OFF
    for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        corpus=$(mktemp -d)
        ZEN_ROOT=$(mktemp -d) "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 2
        rm -rf "$corpus"
    done
fi
