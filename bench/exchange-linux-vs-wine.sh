#!/usr/bin/env bash
# The exchange figures of glassbench-cli send built for Linux and of glassbench-cli.exe under
# Wine, in one run against one virtual module that takes the wire's time: the median and 99th
# percentile of an exchange (frame out, five bytes back) and the CPU per exchange, rounds of
# each build taking turns so that the machine's load falls on both alike.
#
# Usage: bench/exchange-linux-vs-wine.sh [EXCHANGES] [ROUNDS]   (after scripts/build-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
exchanges=${1:-200}
rounds=${2:-3}
exe=build-win/src/cli/glassbench-cli.exe
export WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix}
[ -f "$exe" ] || { echo "no $exe: run scripts/build-windows.sh first" >&2; exit 1; }

. scripts/virtual-module.sh
start_virtual_module build --wire-timing 2>/dev/null
# The module's line for every frame is not wanted here.
exec 2>/dev/null

figures() {
    "$@" send --port="$MODULE_LINK" --no-pulse --speed="$speed" --repeat="$exchanges" |
        sed -n 's/^exchanges: .*median_us: \([0-9]*\), p99_us: \([0-9]*\), cpu_us_per_exchange: \([0-9]*\)$/\1 \2 \3/p'
}

printf '%-7s %-6s %5s  %12s %12s %14s\n' speed build round median_us p99_us cpu_us/exch
for speed in 115200 9600; do
    for round in $(seq "$rounds"); do
        read -r median p99 cpu < <(figures build/src/cli/glassbench-cli)
        printf '%-7s %-6s %5s  %12s %12s %14s\n' "$speed" linux "$round" "$median" "$p99" "$cpu"
        read -r median p99 cpu < <(figures scripts/wine-run.sh "$exe")
        printf '%-7s %-6s %5s  %12s %12s %14s\n' "$speed" wine "$round" "$median" "$p99" "$cpu"
    done
done
/usr/lib/wine/wineserver -k 2>/dev/null || true
