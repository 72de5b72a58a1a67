#!/usr/bin/env bash
# The soaks at full length: N exchanges (default 10,000) through the shared exchange, then N
# sends through the window's own send action, each against the virtual module misbehaving with
# its default fault mix (every fault, the slow ones rare). Prints each tally by fault and the
# memory and descriptor figures; exits non-zero on any misattributed reply or growth.
#
# Usage: scripts/soak.sh [N]     GLASSBENCH_BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-10000}
build=${GLASSBENCH_BUILD_DIR:-build}

scripts/setup.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target soak_exchanges soak_window glassbench-cli

status=0
printf '\n== %s exchanges through the shared exchange\n' "$n"
SECONDS=0
"$build/bench/soak/soak_exchanges" --exchanges "$n" --seed 1 || status=1
echo "took ${SECONDS} s"
printf '\n== %s sends through the window\n' "$n"
SECONDS=0
"$build/bench/soak/soak_window" --exchanges "$n" --seed 2 || status=1
echo "took ${SECONDS} s"
exit "$status"
