#!/usr/bin/env bash
# The exchange over network ports, in one run: glassbench-cli send through ser2net as an
# RFC 2217 port and as raw TCP, on the module's pseudo-terminal directly, and pyserial's RFC 2217
# client through the same ser2net; each path to a wire-timed virtual module of its own, started
# alike, so that no two ever share a terminal. Prints the median and 99th percentile of an
# exchange (frame out, five bytes back) and the CPU per exchange, rounds of each taking turns so
# that the machine's load falls on all alike.
#
# Usage: bench/exchange-network.sh [EXCHANGES] [ROUNDS] [SPEED]   (after a build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
exchanges=${1:-500}
rounds=${2:-3}
speed=${3:-115200}
cli=build/src/cli/glassbench-cli
[ -x "$cli" ] || { echo "no $cli: build first (scripts/test.sh --quick)" >&2; exit 1; }
/usr/bin/python3 -c 'import serial' 2>/dev/null ||
    { echo "pyserial is missing: scripts/setup.sh installs python3-serial" >&2; exit 1; }

. scripts/virtual-module.sh
servers=()
stop_servers() {
    local pid
    for pid in "${servers[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    stop_virtual_module
}

# A wire-timed module behind ser2net: sets `served` to the port's name.
serve() {
    local kind=$1 port=
    start_virtual_module build --wire-timing 2>/dev/null
    exec {out}< <(exec scripts/ser2net.sh "$MODULE_LINK" "$kind" "$speed")
    servers+=("$!")
    trap stop_servers EXIT
    IFS= read -r -t 15 -u "$out" port || { echo "ser2net did not start" >&2; exit 1; }
    served=$kind://127.0.0.1:$port
}
start_virtual_module build --wire-timing 2>/dev/null
pty=$MODULE_LINK
serve rfc2217
rfc2217=$served
serve socket
socket=$served
# The modules' line for every frame, and the notices of the ports, are not wanted here.
exec 2>/dev/null

figures() {
    sed -n 's/^exchanges: .*median_us: \([0-9]*\), p99_us: \([0-9]*\), cpu_us_per_exchange: \([0-9]*\)$/\1 \2 \3/p'
}
send() {
    "$cli" send --port="$1" --no-pulse --speed="$speed" --repeat="$exchanges" | figures
}

printf 'exchanges of 5 bytes out and 5 back at %s baud, %s a round\n' "$speed" "$exchanges"
printf '%-20s %5s  %10s %10s %14s\n' path round median_us p99_us cpu_us/exch
for round in $(seq "$rounds"); do
    for path in pty rfc2217 socket pyserial; do
        case $path in
            pty) result=$(send "$pty") ;;
            rfc2217) result=$(send "$rfc2217") ;;
            socket) result=$(send "$socket") ;;
            # ser2net answers no DTR or RTS request for a terminal without modem lines, and
            # pyserial gives up on the open unless told not to wait for those answers.
            pyserial) result=$(/usr/bin/python3 bench/pyserial_exchange.py \
                "$rfc2217?ign_set_control" "$speed" "$exchanges" | figures) ;;
        esac
        read -r median p99 cpu <<<"$result"
        label=$path
        [ "$path" = pty ] && label="ours, pty"
        [ "$path" = rfc2217 ] && label="ours, rfc2217"
        [ "$path" = socket ] && label="ours, socket"
        [ "$path" = pyserial ] && label="pyserial, rfc2217"
        printf '%-20s %5s  %10s %10s %14s\n' "$label" "$round" "$median" "$p99" "$cpu"
    done
done
