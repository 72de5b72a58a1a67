#!/usr/bin/env bash
# ser2net in front of one serial device, for the tests and the benchmarks:
#   scripts/ser2net.sh DEVICE KIND[,KIND...] [SPEED [PORT[,PORT...]]]  KIND: rfc2217 or socket
# It writes ser2net's YAML configuration to a private folder and starts ser2net with one
# accepter a KIND, each on a loopback port of the system's choosing (0), so that no two runs
# ever want the same port: rfc2217 is a Telnet accepter with the com-port option, socket a raw
# TCP one. Several accepters share the device as ser2net shares it: one client at a time, and
# a client of another accepter is told that the device is in use. PORTs, when given, are the
# ports to take instead, one a kind: a ser2net started again where one was. The line is set
# to SPEED (9600 by default), 8N1, until an RFC 2217 client sets another; a raw TCP client
# cannot. Once
# ser2net listens, its ports are printed on one line, in the order of the kinds; the script
# then runs until SIGTERM or SIGINT, and stops ser2net on its way out. ser2net says nothing
# when it is ready, so its listening sockets are looked for (ss) until they are all there; it
# opens them in the order of its configuration, so their descriptors tell them apart.
set -euo pipefail
usage() {
    echo "usage: scripts/ser2net.sh DEVICE rfc2217|socket[,rfc2217|socket...] [SPEED [PORTS]]" >&2
    exit 2
}
[ "$#" -ge 2 ] && [ "$#" -le 4 ] || usage
device=$1
speed=${3:-9600}
IFS=, read -r -a fixed <<<"${4:-}"
case $speed in '' | *[!0-9]*) usage ;; esac
IFS=, read -r -a kinds <<<"$2"
[ "${#kinds[@]}" -gt 0 ] || usage
for kind in "${kinds[@]}"; do
    case $kind in rfc2217 | socket) ;; *) usage ;; esac
done
if ! command -v ser2net >/dev/null 2>&1; then
    echo "ser2net is not installed (scripts/setup.sh installs it)" >&2
    exit 1
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/glassbench-ser2net-XXXXXX")
pid=
stop() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap stop EXIT
trap 'exit 143' TERM INT

# kickolduser: a test's next client takes the port from one that is still going away. It acts
# within one accepter; a client of another is refused while the device is held.
{
    printf '%%YAML 1.1\n---\n'
    n=0
    for kind in "${kinds[@]}"; do
        accepter=tcp
        [ "$kind" = rfc2217 ] && accepter="telnet(rfc2217),tcp"
        n=$((n + 1))
        printf 'connection: &glassbench%d\n' "$n"
        printf '    accepter: %s,127.0.0.1,%s\n' "$accepter" "${fixed[$((n - 1))]:-0}"
        printf '    enable: on\n    options:\n      kickolduser: true\n'
        printf '    connector: serialdev,%s,%sn81,local\n' "$device" "$speed"
    done
} >"$dir/ser2net.yaml"
ser2net -n -c "$dir/ser2net.yaml" >"$dir/log" 2>&1 &
pid=$!
ports=
deadline=$((SECONDS + 10))
while [ -z "$ports" ] && [ "$SECONDS" -lt "$deadline" ] && kill -0 "$pid" 2>/dev/null; do
    # This ser2net's listening sockets as "DESCRIPTOR PORT", in the order it opened them.
    listening=$(ss -ltnpH 2>/dev/null | awk -v pid="pid=$pid," '
        index($0, pid) { n = split($4, a, ":"); match($0, /fd=[0-9]+/)
                         print substr($0, RSTART + 3, RLENGTH - 3), a[n] }' | sort -n)
    if [ "$(printf '%s' "$listening" | grep -c .)" -eq "${#kinds[@]}" ]; then
        ports=$(printf '%s\n' "$listening" | awk '{ print $2 }' | paste -sd ' ')
    fi
done
if [ -z "$ports" ]; then
    echo "ser2net did not listen:" >&2
    cat "$dir/log" >&2
    exit 1
fi
echo "$ports"
wait "$pid"
