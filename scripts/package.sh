#!/usr/bin/env bash
# Makes the packages with CPack into build-pkg/: the Debian package from a Release build of
# the Linux programs, and the Windows zip when the Windows build (build-win/, made by
# scripts/build-windows.sh) is there.
#
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

scripts/setup.sh
mkdir -p build-pkg
cmake -S . -B build-pkg/linux -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DGLASSBENCH_TESTS=OFF -DGLASSBENCH_BENCH=OFF >/dev/null
cmake --build build-pkg/linux -j"$jobs"
(cd build-pkg/linux && cpack -G DEB >/dev/null)

if [ -f build-win/CMakeCache.txt ]; then
    cmake --build build-win -j"$jobs"
    (cd build-win && cpack -G ZIP >/dev/null)
fi
ls -1 build-pkg/*.deb build-pkg/*.zip 2>/dev/null
