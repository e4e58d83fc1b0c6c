#!/bin/bash
# Runs a Win32 program under Wine the way the tests need it: Japanese locale
# (ANSI code page 932), the project's 32-bit prefix, and a virtual display when
# none is set. Used as the Win32 tree's CMAKE_CROSSCOMPILING_EMULATOR; with
# UPDATER_WINEARCH=win64 (scripts/wine64-run.sh), the 64-bit loader and prefix
# of the 64-bit test tree (scripts/wine-arch.sh).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/ja-locale.sh"
updater_ja_locale "$root"
. "$root/scripts/wine-arch.sh"
updater_wine_arch "$root"
if ! why="$("$root/scripts/wine-usable.sh" 2>&1)"; then
    echo "SKIP: $why"
    exit 77
fi
export WINEDEBUG="${WINEDEBUG:--all}"
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
# A harness that reads our output through a pipe would otherwise wait for
# Wine's background processes: keep the server up, away from our pipes, and
# let a first process start the prefix's services there too (at once when
# they already run).
wineserver -p </dev/null >/dev/null 2>&1 || true
"$UPDATER_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
if [ -z "${DISPLAY:-}" ]; then
    exec env LC_ALL=$UPDATER_LC xvfb-run -a -s "-screen 0 1024x768x24" "$UPDATER_WINE" "$@"
fi
exec env LC_ALL=$UPDATER_LC "$UPDATER_WINE" "$@"
