#!/usr/bin/env bash
# Builds Glassbench and starts the operator window with the virtual display module as its
# peer: the module runs in the background on a private pseudo-terminal link, the window finds
# it through GLASSBENCH_PORTS, and the module stops when the window closes.
#
# Usage: scripts/run.sh
# The window needs a display. GLASSBENCH_BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'TEXT'
run: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run scripts/run.sh from a terminal of your desktop session, or over ssh -X. On a machine
without a desktop the window can run on a virtual X server, where nobody sees it:
    xvfb-run -a scripts/run.sh          (xvfb and xauth: scripts/setup.sh installs them)
and scripts/screenshot.sh takes a picture of it there.
TEXT
    exit 2
fi

scripts/setup.sh
build=${GLASSBENCH_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target glassbench glassbench-cli

. scripts/virtual-module.sh
start_virtual_module "$build"
status=0
GLASSBENCH_PORTS="$MODULE_LINK" "$build/src/ui/qt/glassbench" "$@" || status=$?
exit "$status"
