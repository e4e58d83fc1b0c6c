#!/bin/sh
# make package: cpack in both built trees (cmake/packaging.cmake), writing
#   OUT_DIR/patchtool_<version>_<arch>.deb
#   OUT_DIR/patchtool-<version>-win32.zip
# The same commit gives the same bytes: every date in them is the last
# commit's (SOURCE_DATE_EPOCH, unless already set), the zip's DOS times, which
# are local times, are taken in UTC, and cpack runs under fakeroot: the zip
# records each file's owner, which would otherwise be whoever packed it.
#   package.sh [OUT_DIR [BUILD_DIR]]    (defaults: build/packages, build)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build}"
out="${1:-$build/packages}"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null)" ||
        { echo "package: not a git checkout; set SOURCE_DATE_EPOCH to the release's date" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH TZ=UTC
mkdir -p "$out"
for tree in native win32; do
    if [ ! -f "$build/$tree/CPackConfig.cmake" ]; then
        echo "package: $build/$tree is not configured (make native win32)" >&2
        exit 1
    fi
    fakeroot cpack --config "$build/$tree/CPackConfig.cmake" -B "$out" >"$out/cpack-$tree.log" 2>&1 ||
        { cat "$out/cpack-$tree.log" >&2; exit 1; }
    sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$out/cpack-$tree.log"
    rm -f "$out/cpack-$tree.log"
done
rm -rf "$out/_CPack_Packages"
