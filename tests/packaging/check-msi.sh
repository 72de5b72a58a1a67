#!/usr/bin/env bash
# Checks the Windows installer that scripts/package.sh made: its tables and files as msiinfo
# reads them, then Wine's msiexec in a fresh prefix of its own: an install puts both programs
# in Program Files\Glassbench, where they run, the Start-menu shortcut and the entry under
# "Apps"; a removal takes all of it away again; a newer version replaces an older one and an
# older one does not install over it. The installed glassbench-cli also lists the COM ports
# that the prefix maps, from the registry. Each step prints how long it took.
#
# Usage: tests/packaging/check-msi.sh   (check-packages.sh runs it when there is an installer)
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() {
    echo "check-msi: $*" >&2
    exit 1
}

version=$(sed -n 's/^project(Glassbench VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi=build-pkg/glassbench-$version-x64.msi
[ -f "$msi" ] || fail "there is no $msi"

# The database.
tables=$(msiinfo tables "$msi")
for table in File Component Directory Shortcut Icon Registry Upgrade Property; do
    grep -qx "$table" <<<"$tables" || fail "$msi has no $table table"
done
# Rows of a table, tab-separated, without the three heading lines.
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }
property() { rows Property | awk -F'\t' -v name="$1" '$1 == name { print $2 }'; }
[ "$(property ALLUSERS)" = 1 ] || fail "$msi does not install per machine"
[ "$(property ProductVersion)" = "$version" ] || fail "$msi is not version $version"
upgrade_code=$(property UpgradeCode)
rows Upgrade | grep -q "^$upgrade_code"$'\t.*\tWIX_UPGRADE_DETECTED$' ||
    fail "$msi does not replace an older version: $(rows Upgrade)"
files=$(rows File | cut -f 3 | sort | tr '\n' ' ')
[ "$files" = "Scom.ini glassbench-cli.exe glassbench.exe " ] || fail "$msi holds: $files"
[ "$(rows Shortcut | cut -f 3,5,6,9,12)" = \
    $'Glassbench\t[INSTALLDIR]glassbench.exe\t--in-documents\tglassbench.ico\tINSTALLDIR' ] ||
    fail "the shortcut is: $(rows Shortcut)"

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
stop_wine() {
    # Only this prefix's server, which wine-run.sh keeps; -w waits until it has gone.
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
}
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT

# The packed files are the ones the Windows build installed.
msiextract -C "$work/extracted" "$msi" >/dev/null
for file in glassbench.exe glassbench-cli.exe Scom.ini; do
    cmp -s "$(find "$work/extracted" -name "$file")" "build-pkg/windows/$file" ||
        fail "$msi holds another $file than build-pkg/windows"
done

wine() { scripts/wine-run.sh "$@"; }
step() {
    local name=$1 from=$SECONDS status=0
    shift
    "$@" || status=$?
    printf -- '-- check-msi: %s: %d s, exit %d\n' "$name" $((SECONDS - from)) "$status"
    return "$status"
}
programs=$WINEPREFIX/drive_c/Program\ Files/Glassbench
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'
product_code() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }'; }
# Windows puts a per-machine package's shortcuts in All Users' Start menu; Wine 8 puts them in
# the installing user's.
shortcuts() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Glassbench.lnk'; }

# The fields of a shell link (MS-SHLLINK) that matter here: the target, the folder it starts
# in, its arguments and its icon.
link_fields() {
    python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 20)[0]
assert flags & 0x80, "the strings are not UTF-16"
at = 76
if flags & 0x01:  # an item list of the target
    at += 2 + struct.unpack_from("<H", data, at)[0]
target = ""
if flags & 0x02:  # the target's path
    info = at
    base = info + struct.unpack_from("<I", data, info + 16)[0]
    target = data[base:data.index(b"\0", base)].decode("cp1252")
    at += struct.unpack_from("<I", data, info)[0]
strings = []
for bit in (0x04, 0x08, 0x10, 0x20, 0x40):  # description, relative path, folder, args, icon
    if flags & bit:
        count = struct.unpack_from("<H", data, at)[0]
        # Wine 8 counts each string's terminating NUL in; Windows does not.
        strings.append(data[at + 2:at + 2 + 2 * count].decode("utf-16-le").rstrip("\0"))
        at += 2 + 2 * count
    else:
        strings.append("")
print("\n".join([target] + strings[2:]))
EOF
}

# The programs are the same files in every version made here, so they give this version.
installed() {
    local want_version=$1 code=$2
    for file in glassbench.exe glassbench-cli.exe Scom.ini; do
        [ -f "$programs/$file" ] || fail "the install left no Program Files\\Glassbench\\$file"
    done
    [ "$(wine 'C:\Program Files\Glassbench\glassbench-cli.exe' --version)" = \
        "glassbench-cli $version" ] || fail "the installed glassbench-cli.exe gives another version"
    [ "$(wine 'C:\Program Files\Glassbench\glassbench.exe' --version)" = "glassbench $version" ] ||
        fail "the installed glassbench.exe gives another version"
    local links
    links=$(shortcuts)
    [ "$(wc -l <<<"$links")" -eq 1 ] && [ -f "$links" ] || fail "no one Start-menu shortcut: $links"
    [ "$(link_fields "$links")" = "C:\\Program Files\\Glassbench\\glassbench.exe
C:\\Program Files\\Glassbench\\
--in-documents
C:\\windows\\Installer\\$code\\glassbench.ico" ] || fail "the shortcut holds: $(link_fields "$links")"
    local entry
    entry=$(wine reg query "$uninstall$code") || fail "no entry under Apps for $want_version"
    grep -q 'DisplayName *REG_SZ *Glassbench$' <<<"$entry" &&
        grep -q "DisplayVersion *REG_SZ *$want_version\$" <<<"$entry" &&
        grep -q "UninstallString .*MsiExec.exe /X$code" <<<"$entry" ||
        fail "no entry under Apps for $want_version: $entry"
}

removed() {
    [ ! -e "$programs" ] || fail "the removal left $programs: $(ls "$programs")"
    [ -z "$(shortcuts)" ] || fail "the removal left the shortcut"
    [ -z "$(wine reg query "${uninstall%\\}" | grep -i "$1")" ] || fail "the removal left $1 under Apps"
}

code=$(product_code "$msi")
step "install (and make the prefix)" wine msiexec /i "$PWD/$msi" /qn || fail "msiexec /i failed"
installed "$version" "$code"

# Wine maps the COM ports named under HKLM\Software\Wine\Ports when its server starts, and
# enters them in HARDWARE\DEVICEMAP\SERIALCOMM as Windows' port drivers do.
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /d /dev/null /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v COM42 /d /dev/null /f >/dev/null
stop_wine
ports=$(wine 'C:\Program Files\Glassbench\glassbench-cli.exe' ports)
grep -qx ' 4  COM5  *present' <<<"$ports" &&
    grep -qx 'present: COM5 (\\Device\\Serial4)' <<<"$ports" &&
    grep -qx 'present: \\\\\.\\COM42 (\\Device\\Serial41)' <<<"$ports" ||
    fail "glassbench-cli ports does not list the COM ports Wine maps: $ports"

step "remove" wine msiexec /x "$PWD/$msi" /qn || fail "msiexec /x failed"
removed "$code"

# A newer version (the same files) replaces this one; this one does not go over the newer.
IFS=. read -r major minor patch <<<"$version"
newer_version=$major.$minor.$((patch + 1))
scripts/make-msi.sh "$newer_version" "$work/newer.msi"
newer_code=$(product_code "$work/newer.msi")
step "install again" wine msiexec /i "$PWD/$msi" /qn || fail "msiexec /i failed"
installed "$version" "$code"
step "upgrade to $newer_version" wine msiexec /i "$work/newer.msi" /qn || fail "the upgrade failed"
installed "$newer_version" "$newer_code"
[ -z "$(wine reg query "${uninstall%\\}" | grep -i "$code")" ] ||
    fail "$newer_version left $version under Apps"
status=0
step "downgrade (refused)" wine msiexec /i "$PWD/$msi" /qn || status=$?
[ "$status" -ne 0 ] || fail "$version installed over $newer_version"
installed "$newer_version" "$newer_code"
step "remove $newer_version" wine msiexec /x "$work/newer.msi" /qn || fail "msiexec /x failed"
removed "$newer_code"
echo "check-msi: all good"
