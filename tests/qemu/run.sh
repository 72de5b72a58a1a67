#!/usr/bin/env bash
# Runs the kernel-driver scenarios (kernel_driver_tests) in a QEMU guest made from the build:
#   tests/qemu/run.sh BUILD_DIR [GTEST OPTIONS...]
# The guest goes to BUILD_DIR/qemu (tests/qemu/make-guest.sh). Where it cannot be made here,
# it says why and exits 0: the scenarios are skipped, not failed.
set -euo pipefail
[ "$#" -ge 1 ] || { echo "usage: tests/qemu/run.sh BUILD_DIR [GTEST OPTIONS...]" >&2; exit 2; }
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
status=0
"$here/make-guest.sh" "$build/src/cli/glassbench-cli" "$build/qemu" || status=$?
[ "$status" -eq 77 ] && exit 0
[ "$status" -eq 0 ] || exit "$status"
GLASSBENCH_QEMU_GUEST=$build/qemu exec "$build/tests/qemu/kernel_driver_tests" "$@"
