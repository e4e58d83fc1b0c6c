#!/bin/sh
# make package's script twice: the same bytes, no lintian error; the .deb's patchtool from a scratch root
# (never installed here) builds from its own stub, inspects and applies; the zip's patchtool.exe under Wine
# builds the same patch from the updater.exe beside it.   package_test.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -eu
source="$1" build="$2" work="$3"
rm -rf "$work" && mkdir -p "$work/src/Archive" "$work/game/Archive"
failures=0 && fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
for run in one two; do sh "$source/scripts/package.sh" "$work/$run" "$build" >"$work/$run.list"; done
for p in $(sed 's|.*/||' "$work/one.list"); do cmp "$work/one/$p" "$work/two/$p" || fail "$p differs"; done
deb="$(grep '\.deb$' "$work/one.list")" zip="$(grep '\.zip$' "$work/one.list")"
lintian --fail-on error "$deb" || fail "lintian reports errors"
dpkg-deb -x "$deb" "$work/root" && tool="$work/root/usr/bin/patchtool"
printf 'new system' >"$work/src/system.arc" && printf 'new data' >"$work/src/Archive/data01000.arc"
printf 'WQX_V2__\000\000\000\000\000\000\000\000' >"$work/game/KXQ.hvl"   # an installed list, no records
printf 'system.arc\r\n' >"$work/game/uninst.lst"
"$tool" build --caption C --out "$work/deb.exe" "$work/src" >/dev/null || fail "build without --stub"
"$tool" inspect "$work/deb.exe" >/dev/null || fail "inspect"
"$tool" apply "$work/deb.exe" "$work/game" >/dev/null 2>&1 && "$tool" verify "$work/game" >/dev/null &&
    cmp -s "$work/src/Archive/data01000.arc" "$work/game/Archive/data01000.arc" || fail "apply"
unzip -q "$zip" -d "$work/zip" && dir="$(dirname "$(ls "$work"/zip/*/patchtool.exe)")"
[ "$(cd "$dir" && LC_ALL=C ls | tr '\n' ' ')" = "LICENSE README.md patchtool.exe updater.exe " ] &&
    cmp -s "$dir/updater.exe" "$build/win32/updater.exe" || fail "the zip holds: $(ls "$dir")"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
status=0 && "$source/scripts/wine-run.sh" "$dir/patchtool.exe" build --caption C \
    --out "$(winpath "$work/zip.exe")" "$(winpath "$work/src")" >"$work/wine.out" 2>&1 || status=$?
[ "$status" = 77 ] || cmp -s "$work/zip.exe" "$work/deb.exe" || fail "patchtool.exe: $(cat "$work/wine.out")"
[ "$failures" = 0 ] || exit 1
echo "packages reproducible, lintian clean, the .deb's patchtool builds, inspects and applies"
said="$(cat "$work/wine.out")" && rm -rf "$work"
[ "$status" = 0 ] || { echo "$said"; exit 77; }
