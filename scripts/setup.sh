#!/usr/bin/env bash
# Installs the Debian packages Glassbench needs to build, test and run, when they are missing.
# Usage: scripts/setup.sh [PACKAGE...]   (no arguments: everything)
set -euo pipefail

packages=(
    g++ cmake make pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libgl-dev
    clang-14 libclang-rt-14-dev
    libx11-dev libxtst6
    fonts-wqy-microhei xvfb xauth imagemagick
    help2man man-db desktop-file-utils dpkg-dev file unzip wixl msitools
    python3 python3-serial
    ser2net iproute2
    qemu-system-x86 busybox-static
)
if [ "$#" -gt 0 ]; then
    packages=("$@")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
