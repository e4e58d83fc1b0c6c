#!/bin/bash
# Runs every libFuzzer target for FUZZ_SECONDS seconds (default 60) from a seed
# corpus that the project's own writers make (make_fuzz_seeds). A crash leaves
# its input under build/fuzz/crashes/<target>/ and fails the run; turn each one
# into a regression test under tests/unit/.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
fuzz="$root/build/fuzz"
seconds="${FUZZ_SECONDS:-60}"
corpus="$fuzz/corpus"
"$fuzz/tests/fuzz/make_fuzz_seeds" "$corpus"
status=0
for target in "$fuzz"/tests/fuzz/*_fuzz; do
    name="$(basename "$target")"
    mkdir -p "$corpus/$name" "$fuzz/crashes/$name"
    echo "fuzz: $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=400000 \
            -artifact_prefix="$fuzz/crashes/$name/" -print_final_stats=0 \
            "$corpus/$name" >"$fuzz/$name.log" 2>&1; then
        echo "fuzz: $name FAILED (see $fuzz/$name.log)"
        tail -30 "$fuzz/$name.log"
        status=1
    else
        grep -E '^#[0-9]+.*(DONE|pulse)' "$fuzz/$name.log" | tail -1 || true
    fi
done
exit $status
