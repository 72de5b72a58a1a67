#!/usr/bin/env bash
# Runs a test program while the virtual module runs, for ctest:
#   with-module.sh [--ser2net] MODULE_CLI -- PROGRAM [ARGS...]
# MODULE_CLI is a native glassbench-cli; PROGRAM may be scripts/wine-run.sh with a Windows
# test program. The program finds the module's link in GLASSBENCH_TEST_MODULE and what the
# module prints in GLASSBENCH_TEST_MODULE_LOG. With --ser2net, two more modules are served by
# ser2net on loopback ports, one as an RFC 2217 access server and one as raw TCP, named in
# GLASSBENCH_TEST_RFC2217 and GLASSBENCH_TEST_SOCKET, their lines in GLASSBENCH_TEST_RFC2217_LOG
# and GLASSBENCH_TEST_SOCKET_LOG. The script exits with the program's status.
set -euo pipefail

ser2net=0
if [ "${1:-}" = "--ser2net" ]; then
    ser2net=1
    shift
fi
cli=$1
shift

dir=$(mktemp -d "${TMPDIR:-/tmp}/glassbench-module-XXXXXX")
pids=()
stop() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$dir"
}
trap stop EXIT

# A module on $dir/NAME, its lines in $dir/NAME.log. Straight into the file: the module writes a
# frame's line before its reply, so the log is complete for every reply the program has seen.
# The file exists before the module starts: the background job's redirection may come after
# tail below has looked for it, and tail -f gives up on a file that is not there.
start_module() {
    local name=$1 pid line=
    : >"$dir/$name.log"
    "$cli" module --link "$dir/$name" >"$dir/$name.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    # The module's first line says its link is in place. tail follows the log through
    # inotify, so this waits for the line without polling; it goes when the module goes.
    IFS= read -r -t 10 line < <(exec tail -n +1 -f --pid="$pid" "$dir/$name.log" 2>/dev/null) ||
        true
    if [[ "$line" != "module: "* ]]; then
        echo "with-module: the virtual module did not start: ${line:-no output}" >&2
        exit 1
    fi
}
start_module module
export GLASSBENCH_TEST_MODULE=$dir/module GLASSBENCH_TEST_MODULE_LOG=$dir/module.log

# One ser2net for each kind of port (scripts/ser2net.sh), each in front of a module of its own:
# a ser2net that has just closed a terminal can hold it a while longer, and another would find
# it busy.
served=
serve() {
    local kind=$1 pid
    start_module "$kind"
    : >"$dir/$kind.port"
    "$(dirname "$0")/../../scripts/ser2net.sh" "$dir/$kind" "$kind" >"$dir/$kind.port" &
    pid=$!
    pids+=("$pid")
    served=
    IFS= read -r -t 15 served < <(exec tail -n +1 -f --pid="$pid" "$dir/$kind.port") || true
    if [ -z "$served" ]; then
        echo "with-module: ser2net did not start for $kind" >&2
        exit 1
    fi
}
if [ "$ser2net" -eq 1 ]; then
    serve rfc2217
    export GLASSBENCH_TEST_RFC2217=rfc2217://127.0.0.1:$served
    export GLASSBENCH_TEST_RFC2217_LOG=$dir/rfc2217.log
    serve socket
    export GLASSBENCH_TEST_SOCKET=socket://127.0.0.1:$served
    export GLASSBENCH_TEST_SOCKET_LOG=$dir/socket.log
fi

[ "${1:-}" = "--" ] && shift
status=0
"$@" || status=$?
exit "$status"
