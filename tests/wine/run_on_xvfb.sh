#!/usr/bin/env bash
# Runs a Linux program that drives Windows programs under Wine (the window check, the start-up
# benchmark) on a private Xvfb display, with a Wine prefix of its own whose server is stopped
# afterwards. Exits 77, which ctest counts as skipped, where Xvfb is not installed.
#
# Usage: [GLASSBENCH_WINE_DPI=N] tests/wine/run_on_xvfb.sh PROGRAM [ARGS...]
#
# The prefix (build-win/wineprefix-xvfb) is not the one the other Windows tests share: Wine's
# desktop process takes its display from the first program of a server, and those tests run
# without one. Its settings:
# - Unmanaged windows: Xvfb has no window manager, and Wine 8 leaves the keyboard focus of
#   managed windows to one, so keys would reach no window. Unmanaged, Wine gives the focus
#   itself and draws the frames (caption, system menu, minimise and close boxes).
# - Wine's own fonts: Debian's Wine 8 does not look in /usr/share/wine/fonts, where fonts-wine
#   puts them; without them MS Sans Serif falls back to a wider font and the caption buttons,
#   drawn with Marlett, show letters. Only the TrueType ones: with the bitmap MS Sans Serif
#   (sserife.fon) installed, Wine picks it and links no other font to it.
# - The Chinese captions: WenQuanYi Micro Hei (fonts-wqy-microhei) is linked to MS Sans Serif,
#   as Windows links its CJK fonts, for the characters MS Sans Serif lacks.
# - The DPI, Wine's LogPixels: GLASSBENCH_WINE_DPI, 96 unless set (and then set to 96 for the
#   program). The screen grows with it from 1024x768 at 96, so that the scaled dialog fits.
set -Eeuo pipefail
# A step that fails says which, before the script ends.
trap 'echo "run_on_xvfb.sh: line $LINENO failed (exit $?): $BASH_COMMAND" >&2' ERR
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v xauth >/dev/null 2>&1; then
    echo "xvfb-run or xauth is not installed (scripts/setup.sh installs them): skipped"
    exit 77
fi
if [ "$#" -lt 1 ]; then
    echo "usage: tests/wine/run_on_xvfb.sh PROGRAM [ARGS...]" >&2
    exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export GLASSBENCH_WINE_DPI=${GLASSBENCH_WINE_DPI:-96}
dpi=$GLASSBENCH_WINE_DPI
if [ -z "${GLASSBENCH_ON_XVFB:-}" ]; then
    export GLASSBENCH_ON_XVFB=1
    # xvfb-run's own errors (no free display, Xvfb would not start) go to a file it names
    # with -e; without it they are lost and the script would end saying nothing.
    errors=$(mktemp)
    status=0
    screen="$((1024 * dpi / 96))x$((768 * dpi / 96))x24"
    xvfb-run -a -e "$errors" -s "-screen 0 $screen -nolisten tcp" "${BASH_SOURCE[0]}" "$@" ||
        status=$?
    if [ "$status" -ne 0 ] && [ -s "$errors" ]; then
        echo "run_on_xvfb.sh: xvfb-run ended with $status; the X server said:" >&2
        cat "$errors" >&2
    fi
    rm -f "$errors"
    exit "$status"
fi

export WINEPREFIX=$root/build-win/wineprefix-xvfb
stop_wine() {
    # This prefix's server only, and with it every Wine process of the prefix.
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
}
stop_wine
trap stop_wine EXIT

wine=$root/scripts/wine-run.sh
# reg's own words go to the log, and come out only when it fails.
reg_add() {
    local log
    log=$(mktemp)
    if ! "$wine" reg add "$@" /f >"$log" 2>&1; then
        echo "run_on_xvfb.sh: 'reg add $*' failed in $WINEPREFIX:" >&2
        cat "$log" >&2
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}
reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v 'MS Sans Serif' /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei'
fonts=$WINEPREFIX/drive_c/windows/Fonts
for font in /usr/share/wine/fonts/*.ttf; do
    if [ -e "$font" ] && [ ! -e "$fonts/${font##*/}" ]; then
        ln -s "$font" "$fonts/"
    fi
done

"$@"
