#!/usr/bin/env bash
# Checks what scripts/package.sh made in build-pkg/: the menu entry is valid, the .deb holds
# every file with its dependencies computed, the programs run from an unpacked copy, the man
# pages render without warnings, bash completion proposes commands and list texts, and the
# Windows packages (when the Windows build was there): the zip holds its four files, and the
# installer installs, upgrades and removes under Wine (check-msi.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() {
    echo "check-packages: $*" >&2
    exit 1
}

desktop-file-validate data/glassbench.desktop || fail "the .desktop file does not validate"

debs=(build-pkg/glassbench_*_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one glassbench_<version>_<arch>.deb"
deb=${debs[0]}
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in usr/bin/glassbench usr/bin/glassbench-cli \
    usr/share/applications/glassbench.desktop \
    usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/glassbench.png \
    usr/share/man/man1/glassbench.1 usr/share/man/man1/glassbench-cli.1 \
    usr/share/bash-completion/completions/glassbench-cli \
    usr/share/doc/glassbench/examples/Scom.ini; do
    grep -qx "\./$file" <<<"$listing" || fail "$deb lacks $file"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
grep -q 'libqt6widgets6' <<<"$depends" && grep -q 'libc6' <<<"$depends" ||
    fail "the dependencies were not computed: '$depends'"
for field in Maintainer Description Section; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "$deb has no $field"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
version=$(sed -n 's/^project(Glassbench VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$("$root/usr/bin/glassbench-cli" --version)" = "glassbench-cli $version" ] ||
    fail "the unpacked glassbench-cli gives another version"
[ "$("$root/usr/bin/glassbench" --version)" = "glassbench $version" ] ||
    fail "the unpacked glassbench gives another version"
frame=$("$root/usr/bin/glassbench-cli" frame --command=SetBGColor --data="F8 00" | head -n 1)
[ "$frame" = "frame: AA 05 81 F8 00 28" ] || fail "the unpacked glassbench-cli printed '$frame'"
! grep -rqs "$PWD/build" "$root" || fail "an installed file refers to the build tree"

for page in glassbench glassbench-cli; do
    warnings=$(MANWIDTH=80 man -l --warnings "$root/usr/share/man/man1/$page.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page warns: $warnings"
done

# The completion as bash runs it, word by word, with the unpacked program first on PATH.
complete_words() {
    PATH="$root/usr/bin:$PATH" bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _glassbench_cli glassbench-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ \
        "$root/usr/share/bash-completion/completions/glassbench-cli" "$@"
}
commands=$(complete_words glassbench-cli "")
for command in frame preset send ports module decode monitor play; do
    grep -qx "$command" <<<"$commands" || fail "completion does not propose '$command'"
done
texts=$(complete_words glassbench-cli frame --command = "Draw")
grep -qx 'Draw\\ Point' <<<"$texts" || fail "completion does not propose 'Draw Point': $texts"

zips=(build-pkg/glassbench-*-win64.zip)
if [ -f "${zips[0]}" ]; then
    names=$(unzip -Z1 "${zips[0]}" | sort | tr '\n' ' ')
    [ "$names" = "README.txt Scom.ini glassbench-cli.exe glassbench.exe " ] ||
        fail "${zips[0]} holds: $names"
    unzip -p "${zips[0]}" README.txt | grep -q $'\r$' || fail "README.txt has no CRLF line ends"
    tests/packaging/check-msi.sh
fi
echo "check-packages: all good"
