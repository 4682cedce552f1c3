#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs one of them.
#   scripts/fuzz.sh <name> [seconds]     e.g. scripts/fuzz.sh plist 300
# New inputs go to fuzz-out/<name>; crashes are written to fuzz-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
name=${1:?fuzz target name}
seconds=${2:-120}
scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARVESTO_FUZZ=ON -DMARVESTO_SANITIZE=ON -DMARVESTO_TESTS=OFF -DMARVESTO_BENCH=OFF
cmake --build build-fuzz --parallel "$(nproc)" --target "fuzz_${name}"
mkdir -p "fuzz-out/${name}"
export ASAN_OPTIONS=detect_leaks=1
build-fuzz/fuzz/fuzz_${name} -max_total_time="${seconds}" -artifact_prefix=fuzz-out/ \
  "fuzz-out/${name}" "fuzz/corpus/${name}"
