#!/usr/bin/env bash
# Every test Glassbench has, as CI runs them: a -Werror build and its tests, the CLI on the
# kernel's own serial drivers in a QEMU guest (tests/qemu/run.sh), the same tests but the Qt
# window's under AddressSanitizer and UndefinedBehaviorSanitizer, 12 s of each fuzzer, the
# Windows build tested under Wine (scripts/build-windows.sh), and the packages
# (scripts/package.sh, from the builds tested here) with their checks. Each step prints how
# long it took.
# Usage: scripts/test.sh [--quick]   (--quick: the -Werror build and its tests only)
set -Eeuo pipefail
# Whatever fails says what it was and in which step (step_name, below), before the script ends.
trap 'echo "test.sh: failed (exit $?) at line $LINENO: $BASH_COMMAND${step_name:+, in \"$step_name\"}" >&2' ERR
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1
jobs=$(nproc 2>/dev/null || echo 2)

scripts/setup.sh

started=$SECONDS
step_name=
step_from=$SECONDS
step() {
    if [ -n "$step_name" ]; then
        printf -- '-- %s: %d s\n' "$step_name" $((SECONDS - step_from))
    fi
    step_name=$*
    step_from=$SECONDS
    [ -n "$step_name" ] && printf '\n== %s\n' "$step_name"
    return 0
}
finish() {
    step ""
    printf '\n-- test.sh: %d s\n' $((SECONDS - started))
    exit 0
}

step "build (warnings are errors)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLASSBENCH_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
step "tests"
ctest --test-dir build --output-on-failure -j"$jobs"

[ "$quick" -eq 1 ] && finish

# One boot of Debian's kernel under TCG for every scenario, about 20 s (the kernel is fetched
# once a machine); skipped, saying why, where no guest can be made.
step "the kernel's serial drivers in QEMU"
tests/qemu/run.sh build tests/qemu/kernel_driver_tests

# The sanitizers' build, with clang, has the fuzzers too (one build of the libraries with the
# sanitizers for both), and leaves out the Qt window (its views are thin over the dialog's
# logic, which ui_logic's suite runs here): CI's time goes to testing, not compiling.
step "build with AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzzers"
CXX=clang++-14 cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DGLASSBENCH_WERROR=ON \
    -DGLASSBENCH_SANITIZE=ON -DGLASSBENCH_FUZZ=ON -DGLASSBENCH_BENCH=OFF -DGLASSBENCH_UI=OFF \
    >/dev/null
cmake --build build-asan -j"$jobs"
step "tests under the sanitizers"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

# 12 s for each target, one a core side by side, keeps CI's fuzzing under a minute; they are
# the sanitizers' build's, unoptimised, so slower than scripts/fuzz.sh's own, which runs longer.
step "fuzzers, 12 s each"
scripts/fuzz.sh --build build-asan 12

step "Windows: cross-build, tests under Wine"
scripts/build-windows.sh --no-figures

step "packages: the .deb and the Windows zip, and their checks"
scripts/package.sh
tests/packaging/check-packages.sh
finish
