#!/bin/sh
# Exits 0 when this machine can run the Win32 programs under Wine; otherwise
# says why on standard error and exits 1. Debian's Wine is a 32-bit loader: a
# kernel or sandbox without 32-bit execution refuses it ("Exec format error")
# however complete the packages are. The Win32 and end-to-end tests are then
# reported as skipped, not failed: the native, sanitizer and fuzz trees still
# test every line of the portable core.
#
# With UPDATER_WINEARCH=win64 it asks the same of Wine's 64-bit loader, which
# runs the 64-bit test tree (scripts/wine-arch.sh).
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine-arch.sh"
updater_wine_arch "$root"
bits=32
[ "$WINEARCH" = win64 ] && bits=64
if ! command -v "$UPDATER_WINE" >/dev/null 2>&1; then
    echo "Wine's $bits-bit loader ($UPDATER_WINE) is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
if ! why="$("$UPDATER_WINE" --version 2>&1 >/dev/null)"; then
    echo "this machine cannot run Wine's $bits-bit loader: ${why##*: }" >&2
    exit 1
fi
exit 0
