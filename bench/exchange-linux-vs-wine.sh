#!/usr/bin/env bash
# The exchange figures of glassbench-cli send built for Linux, of glassbench-cli.exe under Wine,
# and of the floor under them on Windows (exchange_floor.exe, a bare Win32 loop of PurgeComm,
# WriteFile and ReadFile with a one-second read time-out), in one run against one virtual module
# that takes the wire's time: the median and 99th percentile of an exchange (frame out, five
# bytes back) and the CPU per exchange, at 115200 and 9600 baud, rounds of each taking turns so
# that the machine's load falls on all alike. Last, for each speed, the median over the rounds
# of each, and the .exe's against the floor's.
#
# Usage: bench/exchange-linux-vs-wine.sh [EXCHANGES] [ROUNDS]   (after scripts/build-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
exchanges=${1:-500}
rounds=${2:-3}
exe=build-win/src/cli/glassbench-cli.exe
floor=build-win/bench/exchange_floor.exe
export WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix}
for program in "$exe" "$floor"; do
    [ -f "$program" ] || { echo "no $program: run scripts/build-windows.sh first" >&2; exit 1; }
done

. scripts/virtual-module.sh
start_virtual_module build --wire-timing 2>/dev/null
# The module's line for every frame is not wanted here.
exec 2>/dev/null

figures() {
    sed -n 's/^exchanges: .*median_us: \([0-9]*\), p99_us: \([0-9]*\), cpu_us_per_exchange: \([0-9]*\)$/\1 \2 \3/p'
}
run() {
    case $1 in
        linux) build/src/cli/glassbench-cli send --port="$MODULE_LINK" --no-pulse \
            --speed="$speed" --repeat="$exchanges" | figures ;;
        exe) scripts/wine-run.sh "$exe" send --port="$MODULE_LINK" --no-pulse --speed="$speed" \
            --repeat="$exchanges" | figures ;;
        floor) scripts/wine-run.sh "$floor" "$MODULE_LINK" "$speed" "$exchanges" | figures ;;
    esac
}

rows=$(mktemp)
trap 'rm -f "$rows"; stop_virtual_module' EXIT
printf '%-7s %-6s %5s  %10s %10s %12s\n' speed build round median_us p99_us cpu_us/exch
for speed in 115200 9600; do
    for round in $(seq "$rounds"); do
        for build in linux exe floor; do
            read -r median p99 cpu < <(run "$build")
            printf '%-7s %-6s %5s  %10s %10s %12s\n' "$speed" "$build" "$round" "$median" "$p99" \
                "$cpu" | tee -a "$rows"
        done
    done
done

# The median of each build's round medians and CPU figures, and the .exe's over the floor's.
echo
awk '
    function median(list,    n, values, i, j, t) {
        n = split(list, values, " ")
        for (i = 1; i <= n; i++)
            for (j = i + 1; j <= n; j++)
                if (values[j] + 0 < values[i] + 0) { t = values[i]; values[i] = values[j]; values[j] = t }
        return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
    }
    { key = $1 " " $2; med[key] = med[key] " " $4; cpu[key] = cpu[key] " " $6; speeds[$1] = 1 }
    END {
        printf "%-7s %-6s %10s %12s\n", "speed", "build", "median_us", "cpu_us/exch"
        for (speed in speeds) {
            for (b = 1; b <= 3; b++) {
                build = b == 1 ? "linux" : b == 2 ? "exe" : "floor"
                m[build] = median(med[speed " " build]); c[build] = median(cpu[speed " " build])
                printf "%-7s %-6s %10s %12s\n", speed, build, m[build], c[build]
            }
            printf "%-7s exe/floor: median %.2fx, cpu %.2fx\n", speed,
                m["exe"] / (m["floor"] ? m["floor"] : 1), c["exe"] / (c["floor"] ? c["floor"] : 1)
        }
    }' "$rows"
/usr/lib/wine/wineserver -k 2>/dev/null || true
