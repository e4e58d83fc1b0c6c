#!/bin/bash
# Update throughput: `patchtool apply` of ~250 MiB in 21 files against a plain
# 1 MiB read/write copy of the same files into .tmp files followed by renames,
# on the same filesystem, warm cache, in the same run; once with neither side
# flushing (fsync disabled by eatmydata for the update, which always flushes)
# and once with both flushing. Prints each ratio; asserts nothing.
# APPLY_BASELINE=PATCHTOOL also times that (earlier) patchtool's apply of the
# same patch and prints this one's cost against it: what a change to the
# commit (the kept copies of the old files, say) costs.
#   bench/apply_throughput.sh [NATIVE_BUILD_DIR [WORK_DIR]]
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
native="${1:-$root/build/native}"
work="${2:-$root/build/bench-apply}"
rounds="${APPLY_ROUNDS:-3}"
patchtool="$native/tools/patchtool/patchtool"
plain_copy="$native/bench/plain_copy"
for tool in "$patchtool" "$plain_copy"; do
    [ -x "$tool" ] || { echo "apply_throughput: $tool not built" >&2; exit 1; }
done

rm -rf "$work"
mkdir -p "$work/src" "$work/install" "$work/copy"
trap 'rm -rf "$work"' EXIT
# 20 files of 12 MiB and one of 10 MiB: 250 MiB of incompressible bytes.
for i in $(seq -w 1 20); do
    head -c $((12 << 20)) /dev/urandom > "$work/src/data$i.arc"
done
head -c $((10 << 20)) /dev/urandom > "$work/src/data21.arc"
head -c 65536 /dev/zero > "$work/stub.exe"  # apply never runs the stub image
"$patchtool" build --stub "$work/stub.exe" --caption bench --out "$work/patch.exe" "$work/src" >/dev/null
# An installation with an empty version-2 hash list and a one-line uninstall list.
printf 'WQX_V2__\0\0\0\0\0\0\0\0' > "$work/install/KXQ.hvl"
printf 'game.exe\n' > "$work/install/uninst.lst"
files=("$work"/src/*.arc)

now() { date +%s%N; }
# Runs "$@" $rounds times after one warm-up; prints the best time in seconds.
best_of() {
    "$@" >/dev/null 2>&1 || { echo "apply_throughput: failed: $*" >&2; exit 1; }
    local best=""
    for _ in $(seq "$rounds"); do
        sync
        local t0 t1
        t0=$(now)
        "$@" >/dev/null 2>&1 || { echo "apply_throughput: failed: $*" >&2; exit 1; }
        t1=$(now)
        local d=$((t1 - t0))
        if [ -z "$best" ] || [ "$d" -lt "$best" ]; then best=$d; fi
    done
    awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

report() {  # label, update seconds, copy seconds
    awk -v l="$1" -v u="$2" -v c="$3" 'BEGIN {
        printf "  %-28s update %6.3f s (%6.1f MB/s)  plain copy %6.3f s  ratio %.2f\n",
               l, u, 262144000 / u / 1e6, c, u / c }'
}

echo "update of 250 MiB in 21 files against a plain copy (best of $rounds, warm cache):"
u=$(best_of eatmydata "$patchtool" apply "$work/patch.exe" "$work/install")
c=$(best_of "$plain_copy" "$work/copy" "${files[@]}")
report "without flushing:" "$u" "$c"
u=$(best_of "$patchtool" apply "$work/patch.exe" "$work/install")
c=$(best_of "$plain_copy" --flush "$work/copy" "${files[@]}")
report "with flushing:" "$u" "$c"
if [ -n "${APPLY_BASELINE:-}" ]; then
    b=$(best_of "$APPLY_BASELINE" apply "$work/patch.exe" "$work/install")
    u=$(best_of "$patchtool" apply "$work/patch.exe" "$work/install")
    awk -v u="$u" -v b="$b" 'BEGIN {
        printf "  %-28s update %6.3f s  baseline %6.3f s  ratio %.3f\n", "against the baseline:", u, b, u / b }'
fi
