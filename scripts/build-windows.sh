#!/usr/bin/env bash
# The Windows build: the operator window (glassbench.exe, plain Win32) and glassbench-cli
# cross-built with mingw-w64 into build-win/, then tested under Wine. The unit suites run as
# .exe files through ctest; the Linux CLI suites (built in build/ if need be) run against
# glassbench-cli.exe, with the Linux virtual module as its peer. Last, at 96, 144 and 192 DPI
# on a private Xvfb display, the window checks itself (tests/wine/Win32WindowTest.cpp) and
# glassbench.exe is driven as an operator would drive it (tests/ui/WineWindowCheck.cpp), which
# leaves a picture of the dialog in build-win/screenshot-windows.png and
# screenshot-windows-144dpi.png and -192dpi.png (docs/ keeps the ones the README shows); and its
# start-up is timed beside the Qt window's (bench/ui).
#
# Usage: scripts/build-windows.sh [--no-figures]   (installs what is missing, as scripts/setup.sh
# does; --no-figures leaves out the start-up figures, which scripts/test.sh has no use for)
# The programs: build-win/src/ui/win32/glassbench.exe and build-win/src/cli/glassbench-cli.exe,
# run with scripts/wine-run.sh.
set -Eeuo pipefail
# Whatever fails says what it was and in which step, before the script ends.
step=
trap 'echo "build-windows.sh: failed (exit $?) at line $LINENO: $BASH_COMMAND${step:+, in \"$step\"}" >&2' ERR
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)
figures=1
[ "${1:-}" = "--no-figures" ] && figures=0

# build/ is configured as scripts/test.sh configures it, so everything for Linux comes too.
scripts/setup.sh
scripts/setup.sh g++-mingw-w64-x86-64-posix googletest wine64 wine fonts-wine

export WINEPREFIX=${WINEPREFIX:-$root/build-win/wineprefix}
stop_wine() {
    # Only this prefix's server, which wine-run.sh keeps, and the services it runs.
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
}
trap stop_wine EXIT

start=$SECONDS
timed() {
    local name=$1 from=$SECONDS
    step=$name
    shift
    printf '\n== %s\n' "$name"
    "$@"
    printf -- '-- %s: %d s\n' "$name" $((SECONDS - from))
}

native() {
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLASSBENCH_WERROR=ON >/dev/null
    fi
    cmake --build build -j"$jobs" --target glassbench-cli cli_tests cli_serial_tests \
        wine_window_check window_startup_bench
}

cross() {
    # The benchmarks for Windows: the exchange's floor (bench/exchange-linux-vs-wine.sh).
    cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLASSBENCH_WERROR=ON -DGLASSBENCH_UI=ON \
        -DGLASSBENCH_BENCH=ON -DGLASSBENCH_NATIVE_CLI="$root/build/src/cli/glassbench-cli" \
        >/dev/null
    cmake --build build-win -j"$jobs"
    # Static linking leaves only DLLs that come with Windows, which Wine's system folder has.
    local exe dll bad=0
    # Not the Wine prefixes' own programs (their paths hold blanks, as in Program Files).
    for exe in $(find build-win -name '*.exe' -not -path '*/wineprefix*/*'); do
        for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}'); do
            if [ ! -e "$WINEPREFIX/drive_c/windows/system32/${dll,,}" ]; then
                echo "$exe imports $dll, which Windows does not have" >&2
                bad=1
            fi
        done
    done
    return "$bad"
}

# The two suites side by side: each spends its time waiting on Wine's start-up and on the wire,
# so together they take hardly longer than the longer one. Each prints its output when done.
cli_suites() {
    export GLASSBENCH_TEST_CLI="$root/scripts/wine-run.sh $root/build-win/src/cli/glassbench-cli.exe"
    local suite pids=() status=0 logs=()
    for suite in build/tests/cli/cli_tests build/tests/cli_serial/cli_serial_tests; do
        logs+=("$(mktemp)")
        "$suite" >"${logs[-1]}" 2>&1 &
        pids+=($!)
    done
    for i in "${!pids[@]}"; do
        wait "${pids[$i]}" || status=1
        cat "${logs[$i]}"
        rm -f "${logs[$i]}"
    done
    return "$status"
}

# 77 from the Xvfb runner: no Xvfb here, which is no failure.
on_xvfb() {
    local status=0
    tests/wine/run_on_xvfb.sh "$@" || status=$?
    if [ "$status" -eq 77 ]; then
        echo "skipped: Xvfb is not installed"
        return 0
    fi
    return "$status"
}

window_checks() {
    local dpi picture
    for dpi in 96 144 192; do
        picture=build-win/screenshot-windows.png
        [ "$dpi" -eq 96 ] || picture=build-win/screenshot-windows-${dpi}dpi.png
        printf -- '- at %d DPI\n' "$dpi"
        GLASSBENCH_WINE_DPI=$dpi on_xvfb scripts/wine-run.sh build-win/tests/wine/win32_window_tests.exe
        GLASSBENCH_WINE_DPI=$dpi on_xvfb build/tests/ui/wine_window_check \
            build-win/src/ui/win32/glassbench.exe build-win/tests/wine/window_probe.exe "$picture"
    done
}

# Figures only: three starts of each window after a first, and the .exe sizes.
window_figures() {
    on_xvfb build/bench/ui/window_startup_bench --runs 3 build-win/src/ui/win32/glassbench.exe \
        build-win/src/cli/glassbench-cli.exe
}

timed "native glassbench-cli, CLI suites and the window check's driver (build/)" native
timed "cross-build (build-win/)" cross
timed "unit suites under Wine" ctest --test-dir build-win --output-on-failure -j"$jobs"
timed "CLI suites against glassbench-cli.exe under Wine" cli_suites
timed "glassbench.exe checked and driven on Xvfb under Wine, at 96, 144 and 192 DPI" window_checks
[ "$figures" -eq 0 ] ||
    timed "start-up of glassbench.exe under Wine beside the Qt window" window_figures
printf '\n-- build-windows.sh: %d s\n' $((SECONDS - start))
