#!/usr/bin/env bash
# Checks the Windows installer that scripts/package.sh made (check-packages.sh runs this): its
# tables and files as msiinfo reads them, then Wine's msiexec in a fresh prefix of its own: an
# install puts both programs in Program Files\Glassbench, where they run, the Start-menu
# shortcut and the entry under "Apps"; a removal takes all of it away; a newer version replaces
# an older one, never the reverse; the same version built again is the same product, never a
# second copy. The installed glassbench-cli lists COM ports Wine maps.
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() { echo "check-msi: $*" >&2; exit 1; }
version=$(sed -n 's/^project(Glassbench VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi=$PWD/build-pkg/glassbench-$version-x64.msi

# The database: a table's rows come after three heading lines.
rows() { msiinfo export "$2" "$1" | tail -n +4 | tr -d '\r'; }
property() { rows Property "$2" | awk -F'\t' -v name="$1" '$1 == name { print $2 }'; }
tables=" $(msiinfo tables "$msi" | tr '\n' ' ')"
for table in Component Directory File Icon Property Registry Shortcut Upgrade; do
    [[ "$tables" == *" $table "* ]] || fail "no $table table: $tables"
done
[ "$(property ALLUSERS "$msi") $(rows File "$msi" | cut -f 3 | sort | tr '\n' ' ')" = \
    "1 Scom.ini glassbench-cli.exe glassbench.exe " ] || fail "not per machine, or other files"

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
# Only this prefix's server, which wine-run.sh keeps; -w waits until it has gone.
stop_wine() { { wineserver -k && wineserver -w; } >/dev/null 2>&1 || true; }
trap 'stop_wine; rm -rf "$work"' EXIT

wine() { scripts/wine-run.sh "$@"; }
wineserver() { /usr/lib/wine/wineserver "$@"; }
msiexec() {
    local from=$SECONDS status=0
    wine msiexec "$@" /qn || status=$?
    printf -- '-- check-msi: msiexec %s %s: %d s, exit %d\n' "$1" "${2##*/}" \
        $((SECONDS - from)) "$status"
    return "$status"
}
programs=$WINEPREFIX/drive_c/Program\ Files/Glassbench
apps='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# Windows puts a per-machine package's shortcuts in All Users' Start menu, Wine 8 in the
# installing user's.
shortcut() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Glassbench.lnk'; }

# The programs are the same files in every installer made here, so they give this version.
installed() {
    local code
    code=$(property ProductCode "$1")
    [ -f "$programs/Scom.ini" ] || fail "no Program Files\\Glassbench\\Scom.ini"
    for program in glassbench glassbench-cli; do
        [ "$(wine "C:\\Program Files\\Glassbench\\$program.exe" --version)" = \
            "$program $version" ] || fail "the installed $program.exe does not run, or is another"
    done
    # The link's target (in the code page), and its folder, arguments and icon (in UTF-16).
    python3 -c 'import sys; link = open(sys.argv[1], "rb").read(); sys.exit(not all(
        t.encode("cp1252" if t.endswith(".exe") else "utf-16-le") in link for t in sys.argv[2:]))' \
        "$(shortcut)" 'C:\Program Files\Glassbench\glassbench.exe' 'C:\Program Files\Glassbench\' \
        --in-documents "C:\\windows\\Installer\\$code\\glassbench.ico" || fail "a wrong shortcut"
    tr -s ' ' <<<"$(wine reg query "$apps\\$code")" |
        grep -x " DisplayVersion REG_SZ $(property ProductVersion "$1")" >/dev/null ||
        fail "no entry under Apps for $1"
}
# grep -q would stop reading early, and pipefail would count reg's broken pipe as "not listed".
listed() { wine reg query "$apps" | grep -i "$(property ProductCode "$1")" >/dev/null; }
removed() {
    [ ! -e "$programs" ] && [ -z "$(shortcut)" ] || fail "the removal left files: $(ls "$programs")"
    ! listed "$1" || fail "the removal left the entry under Apps"
}

msiexec /i "$msi" || fail "the install failed" && installed "$msi"

# The same version built again has the same product code, and installing it leaves one
# Glassbench under Apps.
again=$work/glassbench-$version-again-x64.msi
scripts/make-msi.sh "$version" "$again"
[ "$(property ProductCode "$again")" = "$(property ProductCode "$msi")" ] ||
    fail "a rebuild of $version is another product"
msiexec /i "$again" || true
copies=$(wine reg query "$apps" | tr -d '\r' | grep '^HKEY' | while IFS= read -r key; do
    wine reg query "$key" /v DisplayName 2>/dev/null || true
done | grep -c ' Glassbench$' || true)
[ "$copies" = 1 ] || fail "a rebuild of $version left $copies copies under Apps"

# Wine maps the COM ports named under HKLM\Software\Wine\Ports when its server starts, and
# enters them in HARDWARE\DEVICEMAP\SERIALCOMM as Windows' port drivers do.
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /d /dev/null /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v COM42 /d /dev/null /f >/dev/null && stop_wine
ports=$(wine 'C:\Program Files\Glassbench\glassbench-cli.exe' ports)
[ "$(grep -cx -e ' 4  COM5  *present' -e 'present: COM5 (\\Device\\Serial4)' \
    -e 'present: \\\\\.\\COM42 (\\Device\\Serial41)' <<<"$ports")" = 3 ] ||
    fail "glassbench-cli ports does not list the COM ports Wine maps: $ports"

msiexec /x "$msi" || fail "the removal failed" && removed "$msi"

IFS=. read -r major minor patch <<<"$version"
newer=$work/glassbench-$major.$minor.$((patch + 1))-x64.msi
scripts/make-msi.sh "$major.$minor.$((patch + 1))" "$newer"
msiexec /i "$msi" && installed "$msi" && msiexec /i "$newer" || fail "the upgrade failed"
installed "$newer"
! listed "$msi" || fail "the upgrade left $version under Apps"
! msiexec /i "$msi" || fail "$version installed over a newer version" && installed "$newer"
msiexec /x "$newer" || fail "the removal of the newer version failed" && removed "$newer"
echo "check-msi: all good"
