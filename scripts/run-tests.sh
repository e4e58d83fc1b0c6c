#!/bin/bash
# Runs every test of every tree in one ctest run, so that the last lines are a
# single summary: native unit tests, the same under AddressSanitizer + UBSan,
# and the Win32 tests under Wine (one shared prefix, serialised by a resource
# lock) with one virtual display for all of them.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/ja-locale.sh"
updater_ja_locale "$root"
build="$root/build"
export UPDATER_WINEPREFIX="${UPDATER_WINEPREFIX:-$build/wine/prefix}"
export WINEPREFIX="$UPDATER_WINEPREFIX" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='

xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if ! why="$("$root/scripts/wine-usable.sh" 2>&1)"; then
    echo "run-tests: $why; the Win32 and end-to-end tests will be reported as skipped"
elif [ -z "${DISPLAY:-}" ]; then
    exec 8< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo "pid $!")
    read -r _ xvfb_pid <&8 || true
    read -r display_number <&8
    export DISPLAY=":$display_number"
fi
if [ -z "$why" ]; then
    "$root/scripts/wine-prefix.sh" "$UPDATER_WINEPREFIX"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    LC_ALL=$UPDATER_LC wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

{
    for tree in native sanitize fuzz win32; do
        [ -f "$build/$tree/CTestTestfile.cmake" ] && echo "subdirs(\"$tree\")"
    done
} > "$build/CTestTestfile.cmake"
cd "$build"
LC_ALL=$UPDATER_LC ctest -j2 --output-on-failure --timeout 900 "$@"
