#!/bin/bash
# Runs every benchmark once and prints each as a ratio against its baseline
# measured in the same run: the checksum variants against the plain loop
# (native, and the Win32 build under Wine), the uninstall-list merge, the
# case-insensitive lookup against exact names, building against an earlier
# release at 20,000 files against 2,000, and the update's throughput against a
# plain copy. Numbers are printed, never asserted.
# BENCH_NATIVE / BENCH_WIN32 name other build trees (default build/native, build/win32).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
native="${BENCH_NATIVE:-$root/build/native}"
win32="${BENCH_WIN32:-$root/build/win32}"
export UPDATER_WINEPREFIX="${UPDATER_WINEPREFIX:-$root/build/wine/prefix}"

section() { printf '\n== %s\n' "$1"; }
# The Win32 parts need Wine's 32-bit loader; a machine without it says why once.
wine_why="$("$root/scripts/wine-usable.sh" 2>&1)" || true

section "checksum, native (Google Benchmark)"
"$native/bench/checksum_bench" --benchmark_min_time=0.2 --benchmark_repetitions=5

section "checksum, 32-bit Win32 build under Wine"
if [ -n "$wine_why" ]; then
    echo "(skipped: $wine_why)"
elif [ -f "$win32/bench/checksum_timing.exe" ]; then
    "$root/scripts/wine-run.sh" "$win32/bench/checksum_timing.exe" 2>/dev/null
    WINEPREFIX="$UPDATER_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
else
    echo "(not built: $win32/bench/checksum_timing.exe)"
fi

section "uninstall list merge"
if [ -x "$native/bench/uninstall_merge_bench" ]; then
    "$native/bench/uninstall_merge_bench"
else
    echo "(not built: $native/bench/uninstall_merge_bench)"
fi

section "case-insensitive lookup of the posix layer (verify's reads)"
if [ -x "$native/bench/case_lookup_timing" ]; then
    "$native/bench/case_lookup_timing"
else
    echo "(not built: $native/bench/case_lookup_timing)"
fi

section "build against an earlier release's list: 2,000 and 20,000 files"
python3 "$root/bench/base_compare.py" --native "$native" --work "$native/bench-base"

section "update throughput, native"
"$root/bench/apply_throughput.sh" "$native" "$native/bench-apply"

section "update throughput, updater.exe under Wine"
if [ -n "$wine_why" ]; then
    echo "(skipped: $wine_why)"
elif [ -f "$win32/updater.exe" ] && [ -f "$win32/bench/plain_copy.exe" ]; then
    python3 "$root/bench/updater_throughput.py" --native "$native" --win32 "$win32" --work "$native/bench-updater"
else
    echo "(not built: $win32/updater.exe or $win32/bench/plain_copy.exe)"
fi
