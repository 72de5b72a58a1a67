#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, sanitizers on) and runs each for SECONDS (default 60).
# Each keeps its corpus in build-fuzz/corpus-<target>, seeded from fuzz/corpus/<target>, so
# later runs go on from where earlier ones stopped. Prints every target's executions and
# executions per second; exits 1 when any target finds a problem (libFuzzer writes the input
# to build-fuzz/ and the log is shown).
# Usage: scripts/fuzz.sh [--build DIR] [SECONDS]
#   --build DIR: the fuzzers of DIR, a build already configured with -DGLASSBENCH_FUZZ=ON (the
#   sanitizers' build of scripts/test.sh, which has them beside the tests), instead of
#   build-fuzz/'s own, optimised ones.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    echo "usage: scripts/fuzz.sh [--build DIR] [SECONDS]" >&2
    exit 2
}
build=
if [ "${1:-}" = "--build" ]; then
    [ -n "${2:-}" ] || usage
    build=$2
    shift 2
fi
seconds="${1:-60}"
case "$seconds" in
    '' | *[!0-9]*) usage ;;
esac
jobs=$(nproc 2>/dev/null || echo 2)

scripts/setup.sh cmake make clang-14 libclang-rt-14-dev
if [ -z "$build" ]; then
    build=build-fuzz
    # Optimised as libFuzzer advises: at -O0 the coverage hooks on every comparison dominate.
    # Only the fuzzers and what they drive.
    CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLASSBENCH_FUZZ=ON \
        -DGLASSBENCH_WERROR=ON -DGLASSBENCH_UI=OFF -DGLASSBENCH_TESTS=OFF \
        -DGLASSBENCH_BENCH=OFF >/dev/null
fi
targets=()
for source in fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j"$jobs" --target "${targets[@]}"
mkdir -p build-fuzz

# One target: its run, then a line of figures in build-fuzz/TARGET.result, or its findings.
fuzz_one() {
    local target=$1 corpus="build-fuzz/corpus-$1" log="build-fuzz/$1.log"
    mkdir -p "$corpus"
    local options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
        -artifact_prefix=build-fuzz/)
    [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
    # New inputs go to the first folder; the committed seeds are only read.
    if "$build/fuzz/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
        printf '%-14s %12s executions %8s exec/s  corpus %s\n' "$target" \
            "$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")" \
            "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")" \
            "$(find "$corpus" -type f | wc -l)" >"build-fuzz/$target.result"
    else
        echo found >"build-fuzz/$target.result"
    fi
}

# libFuzzer runs on one core: the targets run side by side, one a core, so the whole run takes
# about SECONDS times the targets over the cores.
for target in "${targets[@]}"; do
    rm -f "build-fuzz/$target.result"
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    fuzz_one "$target" &
done
wait

found=()
for target in "${targets[@]}"; do
    if [ "$(cat "build-fuzz/$target.result" 2>/dev/null)" != found ] &&
        [ -s "build-fuzz/$target.result" ]; then
        cat "build-fuzz/$target.result"
    else
        tail -n 40 "build-fuzz/$target.log" >&2
        echo "$target found a problem; its input is in build-fuzz/, its log in build-fuzz/$target.log" >&2
        found+=("$target")
    fi
done
if [ "${#found[@]}" -ne 0 ]; then
    echo "fuzzers with findings: ${found[*]}" >&2
    exit 1
fi
echo "fuzzers: no findings"
