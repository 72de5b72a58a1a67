#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, the one way the tests, the scripts and people
# do: scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# The program's exit status is the script's; its stdout and stderr come out with the CRs of
# Windows line ends removed, so its output compares with the Linux build's; stdin is passed
# through. The PID is the Windows program's own (exec), so signals reach it.
#
# Wine: Debian 12 puts no wine64 on PATH, and its /usr/bin/wine wrapper prints a hint about a
# missing wine32 on stderr, so the 64-bit loader is called directly. The prefix is the build's
# (build-win/wineprefix; WINEPREFIX overrides it). Its wineserver is started once and kept
# (every start costs about 0.6 s without it), and warmed up by one wineboot with every
# standard stream on /dev/null: the background services Wine starts for the first program
# would otherwise inherit that program's pipes, and a test that reads them to EOF would hang
# until the services give up, 30 s later. scripts/build-windows.sh stops the server
# (wineserver -k) when it is done. Two runners that start at once (ctest -j2) take turns at
# this under flock.
set -euo pipefail

if [ "$#" -lt 1 ]; then
    echo "usage: scripts/wine-run.sh PROGRAM.exe [ARGS...]" >&2
    exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
loader=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
if [ ! -x "$loader" ]; then
    echo "wine-run: $loader is missing; scripts/build-windows.sh installs Wine" >&2
    exit 127
fi

export WINEPREFIX=${WINEPREFIX:-$root/build-win/wineprefix}
export WINEDEBUG=-all
# No Mono (.NET) and no Gecko (HTML), which Wine would offer to download and install, and no
# menu entries on the desktop for what the prefix holds.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
mkdir -p "$WINEPREFIX"

(
    flock 9
    # "-p": the server stays after its last client, until build-windows.sh or a person
    # ends it with "WINEPREFIX=... wineserver -k". A server that is running already for this
    # prefix makes a second one exit at once with an error, which is taken as "up".
    if "$server" -p </dev/null >/dev/null 2>&1 9>&-; then
        # Its words are kept aside and shown only if it fails, so that a prefix that could
        # not be set up says so instead of ending the caller without a word.
        log=$WINEPREFIX.wineboot.log
        status=0
        "$loader" wineboot -i </dev/null >"$log" 2>&1 9>&- || status=$?
        if [ "$status" -ne 0 ]; then
            echo "wine-run: 'wineboot -i' failed with $status in $WINEPREFIX:" >&2
            tail -n 20 "$log" >&2
            exit "$status"
        fi
    fi
) 9>"$WINEPREFIX.lock" || exit

# The program keeps the PID; the filters run beside it until it closes its ends of their
# pipes. Unbuffered, so that each line comes out when the program writes it, as on Linux.
exec "$loader" "$@" > >(exec stdbuf -o0 tr -d '\r') 2> >(exec stdbuf -o0 tr -d '\r' >&2)
