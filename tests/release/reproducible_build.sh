#!/bin/sh
# Builds updater.exe and patchtool.exe in two fresh Win32 build trees at
# different paths and requires identical bytes: a
# publisher must be able to rebuild a released updater and show that it is
# the one that was shipped.
#   reproducible_build.sh CMAKE SOURCE_DIR WORK_DIR
set -eu
cmake="$1" source="$2" work="$3"
rm -rf "$work"
mkdir -p "$work"
for tree in "$work/one" "$work/second-tree/deeper"; do
    "$cmake" -S "$source" -B "$tree" -DCMAKE_BUILD_TYPE=MinSizeRel -DUPDATER_BENCH=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-i686.cmake" >"$work/configure.log" 2>&1 ||
        { cat "$work/configure.log"; exit 1; }
    "$cmake" --build "$tree" -j2 --target updater patchtool >"$work/build.log" 2>&1 ||
        { cat "$work/build.log"; exit 1; }
done
status=0
for program in updater.exe patchtool.exe; do
    if cmp "$work/one/$program" "$work/second-tree/deeper/$program"; then
        echo "$program: identical ($(wc -c <"$work/one/$program") bytes)"
    else
        echo "$program: the two builds differ"
        status=1
    fi
done
[ "$status" = 0 ] && rm -rf "$work"
exit "$status"
