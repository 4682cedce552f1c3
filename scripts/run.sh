#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARVESTO_TESTS=OFF -DMARVESTO_BENCH=OFF
cmake --build build --parallel "$(nproc)" --target marvesto-lg
exec build/src/app/marvesto-lg "$@"
