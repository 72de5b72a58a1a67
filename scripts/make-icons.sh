#!/usr/bin/env bash
# Redraws the program's icon (tools/icons/IconArt.cpp) into the images both programs carry:
# data/icons/glassbench-{16,32,48,256}.png and data/icons/glassbench.ico. Run it after changing
# the artwork; the window's tests fail while the committed images and the drawing differ.
#
# GLASSBENCH_BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${GLASSBENCH_BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target ui_icons
QT_QPA_PLATFORM=offscreen "$build/tools/icons/ui_icons" data/icons
ls -l data/icons
