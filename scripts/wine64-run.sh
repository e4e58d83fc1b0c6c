#!/bin/sh
# The 64-bit test tree's CMAKE_CROSSCOMPILING_EMULATOR: scripts/wine-run.sh
# with Wine's 64-bit loader and the tree's own prefix, build/wine/prefix64.
UPDATER_WINEARCH=win64 exec "$(dirname "$0")/wine-run.sh" "$@"
