#!/bin/bash
# Regenerates src/windows_text/cp932_tables.inc and lower_case_table.inc from what Wine's own
# MultiByteToWideChar, WideCharToMultiByte and LCMapStringW do: builds the dump
# program with the mingw cross compiler, runs it under Wine in the Japanese
# locale (ANSI code page 932) and turns its output into compact table source.
# The result is committed; run this only to re-derive or check it.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export UPDATER_WINEPREFIX="${UPDATER_WINEPREFIX:-$root/build/wine/prefix}"

i686-w64-mingw32-g++-posix -O2 -static -o "$work/dump_code_page.exe" \
    "$root/tools/gen_tables/dump_code_page.cpp"
"$root/scripts/wine-run.sh" "$work/dump_code_page.exe" "$work/dump.txt" </dev/null >/dev/null 2>&1
WINEPREFIX="$UPDATER_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
# The dump is written in text mode: CRLF line ends.
tr -d '\r' < "$work/dump.txt" > "$work/dump.lf"
grep -q '^ACP 932$' "$work/dump.lf" || { echo "gen-code-page-tables: Wine did not run with code page 932" >&2; exit 1; }
python3 "$root/tools/gen_tables/gen_code_page_tables.py" "$work/dump.lf" "$root/src/platform"
