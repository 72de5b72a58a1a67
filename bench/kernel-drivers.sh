#!/usr/bin/env bash
# The kernel's own serial drivers under the CLI, in a QEMU guest running Debian's kernel: the
# boot time, send's exchange through ftdi_sio and 8250 beside the same on the host's
# pseudo-terminal, and the time from a replug to the adapter's node back (bench/KernelDriverBench.cpp
# says how each is taken). The kernel is fetched once a machine (tests/qemu/make-guest.sh).
#
# Usage: bench/kernel-drivers.sh [EXCHANGES] [ROUNDS] [REPLUGS]   (after a build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/bench/kernel_driver_bench ] ||
    { echo "no build/bench/kernel_driver_bench: build first (scripts/test.sh --quick)" >&2; exit 1; }
exec tests/qemu/run.sh build bench/kernel_driver_bench "$@"
