#!/usr/bin/env bash
# Takes docs/screenshot.png: the operator window on a private Xvfb server, its port search
# finding the virtual display module, the confirmation answered and one Clear Screen sent.
#
# Usage: scripts/screenshot.sh [PATH.png]
# GLASSBENCH_BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=${GLASSBENCH_BUILD_DIR:-build}
out=${1:-docs/screenshot.png}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target ui_screenshot glassbench-cli

. scripts/virtual-module.sh
start_virtual_module "$build"
mkdir -p "$(dirname "$out")"
GLASSBENCH_PORTS="$MODULE_LINK" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$build/tools/screenshot/ui_screenshot" "$out"
