# Sourced by run.sh, screenshot.sh and the benchmarks: runs glassbench-cli module in the
# background on a private link and stops it when the calling script ends.
#
# start_virtual_module BUILD_DIR [MODULE OPTIONS...]   sets MODULE_LINK to the module's device path
#
# Each call starts one more module; all of them stop together. The module prints one line when
# its link is ready; the script waits for that line with read's time-out instead of looking for
# the link again and again. What the module prints afterwards (one line per frame) goes to
# standard error.

module_pids=()
module_dirs=()

start_virtual_module() {
    local build=$1 line dir fd
    shift
    dir=$(mktemp -d "${TMPDIR:-/tmp}/glassbench-run-XXXXXX")  # mode 0700
    module_dirs+=("$dir")
    MODULE_LINK="$dir/module"
    mkfifo "$dir/out"
    "$build/src/cli/glassbench-cli" module --link "$MODULE_LINK" "$@" >"$dir/out" 2>&1 &
    module_pids+=("$!")
    trap stop_virtual_module EXIT
    exec {fd}<"$dir/out"
    if ! IFS= read -r -t 10 -u "$fd" line || [ ! -e "$MODULE_LINK" ]; then
        echo "the virtual module did not start: ${line:-no output}" >&2
        return 1
    fi
    echo "$line" >&2
    cat <&"$fd" >&2 &
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        # Qt wants a private runtime folder and warns at every start without one.
        export XDG_RUNTIME_DIR="$dir"
    fi
}

stop_virtual_module() {
    local pid dir
    for pid in "${module_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    for dir in "${module_dirs[@]}"; do
        rm -rf "$dir"
    done
    module_pids=()
    module_dirs=()
}
