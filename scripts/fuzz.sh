#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each one for QBX_FUZZ_SECONDS (default 60) over a copy of its seed corpus. Any crash, hang
# (over 5 s for one input), leak or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${QBX_FUZZ_SECONDS:-60}

cmake --preset fuzz >/dev/null
cmake --build build-fuzz --parallel "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in build-fuzz/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=${target##*/fuzz_}
    mkdir -p "$work/$name"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/$name/"
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=65536 \
        -artifact_prefix="$work/" -print_final_stats=0 "$work/$name" >"$work/$name.log" 2>&1 || {
        tail -n 40 "$work/$name.log"
        echo "fuzz target $name failed; the input is in the artifact named above" >&2
        exit 1
    }
    grep -E '^Done [0-9]+ runs' "$work/$name.log" || true
done
