#!/usr/bin/env bash
# Starts the phone simulator with a profile (default lg, an LG phone whose
# identification the device database knows), hands its tty and the
# USB ids of its model to the program as a simulated USB phone, runs the
# program and stops the simulator when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
profile="${1:-lg}"
[ $# -gt 0 ] && shift
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARVESTO_TESTS=OFF -DMARVESTO_BENCH=OFF >/dev/null
cmake --build build --parallel "$(nproc)" --target phonesim
out="$(mktemp)"
build/tools/phonesim/phonesim --profile "$profile" >"$out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 50); do
    [ -s "$out" ] && break
    kill -0 "$sim" 2>/dev/null || { echo "phonesim did not start" >&2; exit 1; }
    sleep 0.1
done
sleep 0.1
tty="$(sed -n 1p "$out")"
ids="$(sed -n 2p "$out")"
echo "simulated $profile phone on $tty ${ids:+(USB $ids)}"
MARVESTO_SIMULATED_USB="$tty${ids:+ $ids}" scripts/run.sh "$@"
