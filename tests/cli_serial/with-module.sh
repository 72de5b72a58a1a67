#!/usr/bin/env bash
# Runs a test program while the virtual module runs, for ctest:
#   with-module.sh MODULE_CLI -- PROGRAM [ARGS...]
# MODULE_CLI is a native glassbench-cli; PROGRAM may be scripts/wine-run.sh with a Windows
# test program. The program finds the module's link in GLASSBENCH_TEST_MODULE and what the
# module prints in GLASSBENCH_TEST_MODULE_LOG. The script exits with the program's status.
set -euo pipefail

cli=$1
shift
[ "${1:-}" = "--" ] && shift

dir=$(mktemp -d "${TMPDIR:-/tmp}/glassbench-module-XXXXXX")
# There before tail looks for it, whenever the background shell gets to its redirection.
: >"$dir/log"
# Straight into the file: the module writes a frame's line before its reply, so the log is
# complete for every reply the program has seen. The file exists before the module starts:
# the background job's redirection may come after tail below has looked for it, and tail -f
# gives up on a file that is not there.
: >"$dir/log"
"$cli" module --link "$dir/module" >"$dir/log" 2>&1 &
module=$!
stop() {
    kill "$module" 2>/dev/null || true
    wait "$module" 2>/dev/null || true
    rm -rf "$dir"
}
trap stop EXIT

# The module's first line says its link is in place. tail follows the log through inotify,
# so this waits for the line without polling; it goes when the module goes.
line=
IFS= read -r -t 10 line < <(exec tail -n +1 -f --pid="$module" "$dir/log" 2>/dev/null) || true
if [[ "$line" != "module: "* ]]; then
    echo "with-module: the virtual module did not start: ${line:-no output}" >&2
    exit 1
fi

status=0
GLASSBENCH_TEST_MODULE=$dir/module GLASSBENCH_TEST_MODULE_LOG=$dir/log "$@" || status=$?
exit "$status"
