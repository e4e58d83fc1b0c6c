#!/bin/sh
# make install: patchtool, its man page and the documentation from the native
# tree, the bare updater.exe stub from the Win32 tree, into one prefix:
#   PREFIX/bin/patchtool
#   PREFIX/share/updater/updater.exe
#   PREFIX/share/man/man1/patchtool.1
#   PREFIX/share/doc/updater/README.md, *.md
# Honours DESTDIR. Both trees must be built.
#   install.sh PREFIX [BUILD_DIR]
set -eu
prefix="$1"
build="${2:-$(cd "$(dirname "$0")/.." && pwd)/build}"
for tree in native win32; do
    if [ ! -f "$build/$tree/cmake_install.cmake" ]; then
        echo "install: $build/$tree is not built (make native win32)" >&2
        exit 1
    fi
done
cmake --install "$build/native" --prefix "$prefix" >/dev/null
cmake --install "$build/win32" --prefix "$prefix" >/dev/null
echo "installed patchtool in $prefix/bin, the updater stub in $prefix/share/updater"
