#!/bin/bash
# Makes the 32-bit Wine prefix the Win32 tests and the demo run in, once (or,
# with UPDATER_WINEARCH=win64, the 64-bit test tree's: scripts/wine-arch.sh):
# wineboot, the X11 "Managed = N" setting (otherwise every closed box costs
# ~2 s under Xvfb), and Wine's own fonts copied in (Debian's Wine does not find
# them, and title bars would draw as boxes). Safe to call concurrently.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine-arch.sh"
updater_wine_arch "$root" "${1:-}"
prefix="$WINEPREFIX"
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.updater-ready-2" ] && exit 0

export WINEDEBUG=-all
unset DISPLAY
rm -rf "$prefix"
echo "wine-prefix: creating $prefix" >&2
"$UPDATER_WINE" wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
"$UPDATER_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
# The updater asks for the classic controls (no version-6 common controls in
# its manifest), which Windows draws unthemed; Wine's own visual theme would
# theme them anyway and repaint the progress bars through its image code on
# every position change, several milliseconds each. Switch it off so the
# dialog draws, and costs, what it does on Windows.
"$UPDATER_WINE" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /t REG_SZ /d 0 /f </dev/null >/dev/null 2>&1
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp -n /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
for f in /usr/share/fonts/opentype/ipafont-gothic/*.ttf /usr/share/fonts/truetype/fonts-japanese-gothic.ttf; do
    [ -e "$f" ] && cp -nL "$f" "$fonts/" 2>/dev/null || true
done
wineserver -w
touch "$prefix/.updater-ready-2"
