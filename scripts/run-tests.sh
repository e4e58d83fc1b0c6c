#!/bin/bash
# Runs every test of every tree in one ctest run, so that the last lines are a
# single summary: native unit tests, the same under AddressSanitizer + UBSan,
# the Win32 tests under Wine (one shared prefix, serialised by a resource
# lock), and the 64-bit test tree's under Wine's 64-bit loader (a prefix and a
# lock of their own), with one virtual display for all of them.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/ja-locale.sh"
updater_ja_locale "$root"
. "$root/scripts/wine-arch.sh"
build="$root/build"
export UPDATER_WINEPREFIX="${UPDATER_WINEPREFIX:-$build/wine/prefix}"
export WINEDEBUG=-all
unset UPDATER_WINEARCH  # each tree's tests name their own half

# Which Wine halves this machine runs: the 32-bit one (the shipped programs,
# the end-to-end tests) and the 64-bit one (the 64-bit test tree).
halves=""
skipped=""
for arch in win32 win64; do
    if why="$(UPDATER_WINEARCH=$arch "$root/scripts/wine-usable.sh" 2>&1)"; then
        halves="$halves $arch"
    else
        skipped="$skipped; $why"
    fi
done
case "$halves" in
    " win32 win64") echo "run-tests: Wine runs both halves, 32-bit and 64-bit" ;;
    " win64") echo "run-tests: Wine runs the 64-bit half only (${skipped#; }); the 32-bit Win32 and end-to-end tests will be reported as skipped" ;;
    " win32") echo "run-tests: Wine runs the 32-bit half only (${skipped#; }); the win64 tests will be reported as skipped" ;;
    *) echo "run-tests: Wine runs neither half (${skipped#; }); the Win32, win64 and end-to-end tests will be reported as skipped" ;;
esac

xvfb_pid=""
cleanup() {
    for arch in $halves; do
        (UPDATER_WINEARCH=$arch updater_wine_arch "$root"; wineserver -k >/dev/null 2>&1) || true
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -n "$halves" ] && [ -z "${DISPLAY:-}" ]; then
    exec 8< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo "pid $!")
    read -r _ xvfb_pid <&8 || true
    read -r display_number <&8
    export DISPLAY=":$display_number"
fi
# Each prefix made once, its server started away from ctest's pipes and warmed
# by one first process.
for arch in $halves; do
    (
        export UPDATER_WINEARCH=$arch
        updater_wine_arch "$root"
        "$root/scripts/wine-prefix.sh" "$WINEPREFIX"
        wineserver -k >/dev/null 2>&1 || true
        wineserver -p </dev/null >/dev/null 2>&1
        LC_ALL=$UPDATER_LC "$UPDATER_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
    )
done
# What the 32-bit tree's tests and helpers inherit; the 64-bit tree's choose
# their own through UPDATER_WINEARCH.
updater_wine_arch "$root"

{
    for tree in native sanitize fuzz win32 win64; do
        [ -f "$build/$tree/CTestTestfile.cmake" ] && echo "subdirs(\"$tree\")"
    done
} > "$build/CTestTestfile.cmake"
cd "$build"
LC_ALL=$UPDATER_LC ctest -j2 --output-on-failure --timeout 900 "$@"
