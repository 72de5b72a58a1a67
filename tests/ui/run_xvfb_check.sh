#!/usr/bin/env bash
# Runs a window check on a private Xvfb server with Qt's X11 platform. Exits 77, which ctest
# counts as skipped, where Xvfb is not installed.
set -euo pipefail
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v xauth >/dev/null 2>&1; then
    echo "xvfb-run or xauth is not installed (scripts/setup.sh installs them): skipped"
    exit 77
fi
export QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
