#!/usr/bin/env bash
# Makes the packages into build-pkg/, each from the build the tests ran, so that what ships is
# what was tested: with CPack the Debian package from build/ (configured as scripts/test.sh
# configures it where it is not there yet: -O2, as Debian builds its own packages, stripped by
# CPack) and, when the Windows build (build-win/, made by scripts/build-windows.sh) is there,
# the Windows zip; with wixl (scripts/make-msi.sh) the Windows installer, from the same files
# installed into build-pkg/windows/.
#
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

scripts/setup.sh
version=$(sed -n 's/^project(Glassbench VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mkdir -p build-pkg
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLASSBENCH_WERROR=ON >/dev/null
fi
cmake --build build -j"$jobs"
(cd build && cpack -G DEB >/dev/null)

if [ -f build-win/CMakeCache.txt ]; then
    cmake --build build-win -j"$jobs"
    (cd build-win && cpack -G ZIP >/dev/null)
    rm -rf build-pkg/windows
    cmake --install build-win --prefix build-pkg/windows --strip >/dev/null
    scripts/make-msi.sh "$version" "build-pkg/glassbench-$version-x64.msi"
fi
ls -1 build-pkg/*.deb build-pkg/*.zip build-pkg/*.msi 2>/dev/null
