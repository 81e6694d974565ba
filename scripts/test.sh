#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the regular build, the
# sanitizer build (ASan + UBSan), a short libFuzzer run over the file loaders, and the Debian
# packages built, checked with lintian and tried in a container.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

jobs=$(nproc)
fuzz_seconds=${ZEN_FUZZ_SECONDS:-20}

passed=0
failed=0
# Runs one build's suite and adds its counts to the totals.
run_suite() {  # run_suite DIR [environment...]
    local dir=$1 log
    shift
    log=$(mktemp)
    # The logoff tests start 600-process fork chains, which can starve a timed test running
    # beside them on two cores: a failed test is run once more, and the log shows both runs.
    env "$@" ctest --test-dir "$dir" -j "$jobs" --output-on-failure --repeat until-pass:2 |
        tee "$log"
    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    local total bad
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

build() {  # build DIR [cmake args...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

echo "== regular build"
build build
run_suite build

if [ "${ZEN_SKIP_SANITIZE:-0}" != 1 ]; then
    echo "== sanitizer build (ASan + UBSan)"
    build build-asan -DZEN_SANITIZE=ON
    run_suite build-asan ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
fi

if [ "${ZEN_SKIP_FUZZ:-0}" != 1 ]; then
    echo "== fuzzing (${fuzz_seconds}s per target)"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZEN_FUZZ=ON -DZEN_TESTS=OFF >/dev/null
    cmake --build build-fuzz -j "$jobs" --target fuzzers
    for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        corpus=$(mktemp -d)
        # A target with seeds of its own (a real exported file, say) starts from them.
        seeds=tests/fuzz/corpus/$(basename "$fuzzer")
        [ -d "$seeds" ] && cp "$seeds"/* "$corpus"/
        ZEN_ROOT=$(mktemp -d) "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 2
        rm -rf "$corpus"
    done
fi

if [ "${ZEN_SKIP_PACKAGE:-0}" != 1 ]; then
    echo "== the Debian packages in a container"
    # Exit 77: the machine cannot boot a container; the reason is printed.
    package_result=0
    scripts/package_test.sh || package_result=$?
    case $package_result in
    0) passed=$((passed + 1)) ;;
    77) ;;
    *) failed=$((failed + 1)) ;;
    esac
fi

echo "suite: $passed passed, $failed failed"
