#!/usr/bin/env bash
# Static checks over our own sources: clang-format must leave every file as it is, and
# clang-tidy (.clang-tidy) must find nothing. Needs build/compile_commands.json (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' | grep -E '^(src|tests|fuzz)/')
clang-format --dry-run -Werror "${sources[@]}"
mapfile -t units < <(printf '%s\n' "${sources[@]}" | grep -E '^src/.*\.cpp$')
run-clang-tidy -quiet -p build -j "$(nproc)" "${units[@]/#/$PWD/}" >build/clang-tidy.log 2>&1 || {
    grep -E 'error:|warning:' build/clang-tidy.log | sort -u | head -n 60
    echo "clang-tidy found problems (full log: build/clang-tidy.log)" >&2
    exit 1
}
echo "clang-format and clang-tidy: clean"
