#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
start=$(date +%s)
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARVESTO_SANITIZE=ON
cmake --build build-test --parallel "$(nproc)"
# scripts/run.sh configures without tests and benchmarks: keep that working.
cmake -S . -B build-test/run-configuration -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMARVESTO_TESTS=OFF -DMARVESTO_BENCH=OFF >/dev/null
built=$(date +%s)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-test --output-on-failure --parallel "$(nproc)" --timeout 300
echo "build: $((built - start)) s, tests: $(( $(date +%s) - built )) s"
