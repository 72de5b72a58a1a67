#!/usr/bin/env bash
# Builds the Windows installer (data/glassbench.wxs says what it holds) with wixl, from what
# "cmake --install" of the Windows build put in build-pkg/windows/. scripts/package.sh makes
# that folder and the release's installer; the packaging checks make a newer one from it to
# see the older replaced.
#
# Usage: scripts/make-msi.sh VERSION OUTPUT.msi
set -euo pipefail
if [ "$#" -ne 2 ]; then
    echo "usage: scripts/make-msi.sh VERSION OUTPUT.msi" >&2
    exit 2
fi
output=$(realpath -m "$2")
cd "$(dirname "$0")/.."
# wixl takes its sources relative to the working folder; it does not find absolute ones.
wixl --arch x64 -D Version="$1" -D Stage=build-pkg/windows -D Icon=data/icons/glassbench.ico \
    -o "$output" data/glassbench.wxs
