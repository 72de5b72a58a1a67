# Sourced by run.sh and screenshot.sh: runs glassbench-cli module in the background on a
# private link and stops it when the calling script ends.
#
# start_virtual_module BUILD_DIR [MODULE OPTIONS...]   sets MODULE_LINK to the module's device path
#
# The module prints one line when its link is ready; the script waits for that line with
# read's time-out instead of looking for the link again and again. What the module prints
# afterwards (one line per frame) goes to standard error.

start_virtual_module() {
    local build=$1 line
    shift
    module_dir=$(mktemp -d "${TMPDIR:-/tmp}/glassbench-run-XXXXXX")  # mode 0700
    MODULE_LINK="$module_dir/module"
    mkfifo "$module_dir/out"
    "$build/src/cli/glassbench-cli" module --link "$MODULE_LINK" "$@" >"$module_dir/out" 2>&1 &
    module_pid=$!
    trap stop_virtual_module EXIT
    exec {module_out}<"$module_dir/out"
    if ! IFS= read -r -t 10 -u "$module_out" line || [ ! -e "$MODULE_LINK" ]; then
        echo "the virtual module did not start: ${line:-no output}" >&2
        return 1
    fi
    echo "$line" >&2
    cat <&"$module_out" >&2 &
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        # Qt wants a private runtime folder and warns at every start without one.
        export XDG_RUNTIME_DIR="$module_dir"
    fi
}

stop_virtual_module() {
    if [ -n "${module_pid:-}" ]; then
        kill "$module_pid" 2>/dev/null || true
        wait "$module_pid" 2>/dev/null || true
        module_pid=
    fi
    [ -n "${module_dir:-}" ] && rm -rf "$module_dir"
    module_dir=
}
