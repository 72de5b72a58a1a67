#!/usr/bin/env bash
# Runs a program of the QEMU bench with a guest made from the build:
#   tests/qemu/run.sh BUILD_DIR PROGRAM [ARGS...]
# PROGRAM is a path under BUILD_DIR: tests/qemu/kernel_driver_tests (the scenarios, as
# scripts/test.sh runs them) or bench/kernel_driver_bench (bench/kernel-drivers.sh). The guest
# goes to BUILD_DIR/qemu (tests/qemu/make-guest.sh) and the program finds it through
# GLASSBENCH_QEMU_GUEST. Where no guest can be made here, it says why and exits 0: skipped,
# not failed.
set -euo pipefail
[ "$#" -ge 2 ] || { echo "usage: tests/qemu/run.sh BUILD_DIR PROGRAM [ARGS...]" >&2; exit 2; }
build=$1
program=$build/$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$program" ] || { echo "tests/qemu/run.sh: no $program: build it first" >&2; exit 1; }
status=0
"$here/make-guest.sh" "$build/src/cli/glassbench-cli" "$build/qemu" || status=$?
[ "$status" -eq 77 ] && exit 0
[ "$status" -eq 0 ] || exit "$status"
GLASSBENCH_QEMU_GUEST=$build/qemu exec "$program" "$@"
