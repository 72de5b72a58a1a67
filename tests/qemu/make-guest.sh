#!/usr/bin/env bash
# Makes the QEMU guest of the kernel-driver tests and benchmark: Debian's own kernel and a small
# initramfs holding busybox, the CLI under test with its shared libraries, the USB serial modules
# and the guest's scripts (tests/qemu/guest/).
#   tests/qemu/make-guest.sh CLI OUT_DIR
# writes OUT_DIR/kernel (a link into the cache) and OUT_DIR/initramfs.cpio.gz.
#
# The kernel is the package that linux-image-amd64 depends on, fetched with apt-get download
# (no root needed, but the apt lists are: they are brought up to date once if the package is
# not found) and unpacked with dpkg-deb on the side, never installed. Only the kernel image
# (also uncompressed, see uncompress_kernel) and the modules below are kept, in a cache folder
# shared by every build on the machine ($GLASSBENCH_QEMU_CACHE, else ~/.cache/glassbench-qemu),
# one folder a kernel package, so the download happens once a machine; delete the folder to
# take a newer kernel.
#
# Exits 77 (skipped) with the reason on stderr where the guest cannot be made here: no QEMU, no
# static busybox (scripts/setup.sh installs both), not an x86-64 Debian system.
set -euo pipefail
[ "$#" -eq 2 ] || { echo "usage: tests/qemu/make-guest.sh CLI OUT_DIR" >&2; exit 2; }
cli=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
skip() {
    echo "QEMU bench skipped: $*" >&2
    exit 77
}

# The modules the guest loads, in this order (each needs the ones before it). The 16550 driver,
# 8250, is built into Debian's kernel.
modules=(usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio)

command -v qemu-system-x86_64 >/dev/null ||
    skip "no qemu-system-x86_64 (scripts/setup.sh installs qemu-system-x86)"
busybox=/bin/busybox
file -L "$busybox" 2>/dev/null | grep -q 'statically linked' ||
    skip "no static $busybox (scripts/setup.sh installs busybox-static)"
command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null ||
    skip "no apt-get and dpkg-deb to fetch Debian's kernel with"
[ "$(dpkg --print-architecture)" = amd64 ] || skip "Debian's amd64 kernel needs an amd64 system"
[ -x "$cli" ] || { echo "make-guest.sh: no $cli: build it first" >&2; exit 1; }

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# The versioned kernel package linux-image-amd64 stands for, such as linux-image-6.1.0-57-amd64.
kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n 1
}
apt_update() {
    echo "make-guest.sh: $*; apt-get update" >&2
    $sudo apt-get update -qq
}

# Writes the ELF kernel a bzImage carries, found as extract-vmlinux finds it: at the first
# offset where a compressed stream of a known kind begins and unpacks to an ELF file (the
# decompressor complains of what follows the stream, which is not its own).
uncompress_kernel() {
    local image=$1 elf=$2 kind magic tool offset
    for kind in xz:'\xfd7zXZ\x00':'xz -dc' zstd:'\x28\xb5\x2f\xfd':'zstd -qdc' \
        gzip:'\x1f\x8b\x08':'gzip -dc'; do
        IFS=: read -r _ magic tool <<<"$kind"
        for offset in $(LC_ALL=C grep -obUaP "$magic" "$image" | cut -d: -f1); do
            tail -c +$((offset + 1)) "$image" | $tool >"$elf" 2>/dev/null || true
            if [ "$(head -c 4 "$elf")" = $'\x7fELF' ]; then
                return 0
            fi
        done
    done
    rm -f "$elf"
}

# Sets `cache` to a new folder under $caches holding vmlinuz and modules/NAME.ko.
fetch_kernel() {
    local package updated=0 work m found
    package=$(kernel_package)
    if [ -z "$package" ]; then
        apt_update "linux-image-amd64 is not in the apt lists"
        updated=1
        package=$(kernel_package)
        [ -n "$package" ] || {
            echo "make-guest.sh: linux-image-amd64 names no kernel package, even after" \
                "apt-get update" >&2
            exit 1
        }
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/glassbench-kernel-XXXXXX")
    trap 'rm -rf "$work"' EXIT
    echo "make-guest.sh: fetching $package, once a machine, into $caches" >&2
    # apt-get download writes into the current folder. As root it warns that the _apt user
    # cannot write there, which is harmless.
    if ! (cd "$work" && apt-get download -q "$package" >/dev/null 2>"$work/apt.err"); then
        # The lists may name a kernel the archive no longer has (a security update replaced it).
        if [ "$updated" -eq 0 ]; then
            apt_update "$package not found ($(tail -n 1 "$work/apt.err"))"
            package=$(kernel_package)
        fi
        (cd "$work" && apt-get download -q "$package" >/dev/null 2>"$work/apt.err") || {
            echo "make-guest.sh: apt-get download $package failed:" >&2
            cat "$work/apt.err" >&2
            exit 1
        }
    fi
    # Only the kernel image and the modules are taken out of the package, not its 400 MB.
    local patterns=('./boot/vmlinuz-*' './boot/config-*')
    for m in "${modules[@]}"; do
        patterns+=("./lib/modules/*/$m.ko*")
    done
    dpkg-deb --fsys-tarfile "$work/$package"_*.deb | tar -x -C "$work" --wildcards "${patterns[@]}"
    # Made aside and moved into place whole, so that a run beside this one never takes half a
    # cache folder, and the first of two that fetched at once is kept.
    local stage=$work/cache
    cache=$caches/$package
    mkdir -p "$stage/modules" "$caches"
    mv "$work"/boot/vmlinuz-* "$stage/vmlinuz"
    # The kernel uncompressed, booted through its PVH entry point where it has one: under TCG
    # the bzImage's own decompressor takes 6 s of a boot, the host a second.
    if grep -q '^CONFIG_PVH=y' "$work"/boot/config-*; then
        uncompress_kernel "$stage/vmlinuz" "$stage/vmlinux"
    fi
    for m in "${modules[@]}"; do
        found=$(find "$work/lib/modules" -name "$m.ko*" | head -n 1)
        [ -n "$found" ] || { echo "make-guest.sh: $package has no module $m" >&2; exit 1; }
        # Debian 12 ships plain .ko files. busybox's insmod takes nothing else, so a compressed
        # one (as later kernels ship them) is unpacked here.
        case $found in
            *.ko) mv "$found" "$stage/modules/$m.ko" ;;
            *.ko.xz) xz -dc "$found" >"$stage/modules/$m.ko" ;;
            *.ko.zst) zstd -qdc "$found" >"$stage/modules/$m.ko" ;;
            *.ko.gz) gzip -dc "$found" >"$stage/modules/$m.ko" ;;
            *) echo "make-guest.sh: $found: an unknown kind of module" >&2; exit 1 ;;
        esac
    done
    echo "$package" >"$stage/complete"
    mv -T "$stage" "$cache.new.$$"
    mv -T "$cache.new.$$" "$cache" 2>/dev/null || rm -rf "$cache.new.$$"
    rm -rf "$work"
    trap - EXIT
}

caches=${GLASSBENCH_QEMU_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/glassbench-qemu}
# A kernel fetched before is used as it is: asking apt which one is current takes seconds.
# Delete the cache folder to take a newer one.
cache=
if [ -d "$caches" ]; then
    cache=$(find "$caches" -mindepth 2 -maxdepth 2 -path "$caches/linux-image-*-amd64/complete" \
        -printf '%h\n' | sort -V | tail -n 1)
fi
[ -n "$cache" ] || fetch_kernel

# The initramfs, made anew each time: the CLI changes with every build.
mkdir -p "$out"
root=$out/initramfs.d
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,run,lib/modules,examples}
# The guest's init links the applets (busybox --install), quicker than 270 links made here.
cp "$busybox" "$root/bin/busybox"
ln -s busybox "$root/bin/sh"
# The CLI without its line tables (a third of its size), and the libraries it links, at the
# paths the dynamic loader looks for them.
strip -o "$root/bin/glassbench-cli" "$cli"
ldd "$cli" | sed -n 's/.*=> \(\/[^ ]*\) .*/\1/p; s/^\s*\(\/[^ ]*\) .*/\1/p' |
    while read -r lib; do
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
# Numbered, so that the guest loads them in the order above by name.
n=0
for m in "${modules[@]}"; do
    n=$((n + 1))
    cp "$cache/modules/$m.ko" "$root/lib/modules/$(printf '%02d' "$n")-$m.ko"
done
# The guest's scripts: init at the top, the others beside busybox.
cp "$here"/guest/* "$root/bin/"
mv "$root/bin/init" "$root/init"
cp "$here/../../examples/"*.gbs "$root/examples/"
(cd "$root" && find . | "$busybox" cpio -o -H newc -R 0:0 2>/dev/null) |
    gzip -1 >"$out/initramfs.cpio.gz.new"
mv "$out/initramfs.cpio.gz.new" "$out/initramfs.cpio.gz"
kernel=$cache/vmlinuz
[ -e "$cache/vmlinux" ] && kernel=$cache/vmlinux
ln -sfn "$kernel" "$out/kernel"
rm -rf "$root"
