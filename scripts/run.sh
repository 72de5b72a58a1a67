#!/usr/bin/env bash
# Builds glassbench-cli and shows the frame the tool sends for the default Clear Screen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target glassbench-cli
exec build/src/cli/glassbench-cli frame "$@"
