#!/usr/bin/env bash
# ser2net in front of one serial device, for the tests and the benchmarks:
#   scripts/ser2net.sh DEVICE rfc2217|socket [SPEED]
# It writes ser2net's YAML configuration to a private folder and starts ser2net on a loopback
# port of the system's choosing (0), so that no two runs ever want the same port: rfc2217 is a
# Telnet accepter with the com-port option, socket a raw TCP one. The line is set to SPEED
# (9600 by default), 8N1, until an RFC 2217 client sets another; a raw TCP client cannot. Once ser2net listens, the
# port is printed on a line of its own; the script then runs until SIGTERM or SIGINT, and
# stops ser2net on its way out. ser2net says nothing when it is ready, so its listening socket
# is looked for (ss) until it is there.
set -euo pipefail
usage() {
    echo "usage: scripts/ser2net.sh DEVICE rfc2217|socket [SPEED]" >&2
    exit 2
}
[ "$#" -eq 2 ] || [ "$#" -eq 3 ] || usage
device=$1
speed=${3:-9600}
case $speed in '' | *[!0-9]*) usage ;; esac
case $2 in
    rfc2217) accepter="telnet(rfc2217),tcp" ;;
    socket) accepter=tcp ;;
    *) usage ;;
esac
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

# kickolduser: a test's next client takes the port from one that is still going away.
cat >"$dir/ser2net.yaml" <<EOF
%YAML 1.1
---
connection: &glassbench
    accepter: $accepter,127.0.0.1,0
    enable: on
    options:
      kickolduser: true
    connector: serialdev,$device,${speed}n81,local
EOF
ser2net -n -c "$dir/ser2net.yaml" >"$dir/log" 2>&1 &
pid=$!
port=
deadline=$((SECONDS + 10))
while [ -z "$port" ] && [ "$SECONDS" -lt "$deadline" ] && kill -0 "$pid" 2>/dev/null; do
    port=$(ss -ltnpH 2>/dev/null | awk -v pid="pid=$pid," '
        index($0, pid) { n = split($4, a, ":"); print a[n]; exit }')
done
if [ -z "$port" ]; then
    echo "ser2net did not listen:" >&2
    cat "$dir/log" >&2
    exit 1
fi
echo "$port"
wait "$pid"
