#!/usr/bin/env bash
# Builds the Windows installer (data/glassbench.wxs says what it holds) with wixl, from what
# "cmake --install" of the Windows build put in build-pkg/windows/. scripts/package.sh makes
# that folder and the release's installer; the packaging checks make a newer one from it to
# see the older replaced.
#
# The product code is made from the version (a name-based UUID under the upgrade code): the same
# version is always the same product, so a rebuild can never be installed beside itself, and a
# changed build needs a new version (CMakeLists.txt's project version) to replace an old one.
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
upgrade=$(sed -n 's/.*UpgradeCode="\([0-9A-F-]*\)".*/\1/p' data/glassbench.wxs)
product=$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), "Glassbench " + sys.argv[2])).upper())' \
    "$upgrade" "$1")
wixl --arch x64 -D Version="$1" -D ProductCode="$product" -D Stage=build-pkg/windows \
    -D Icon=data/icons/glassbench.ico -o "$output" data/glassbench.wxs
