#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite, the suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz targets (QBX_FUZZ_SECONDS each,
# default 60), the Debian package and what it installs, and the static checks. QBX_QUICK=1 runs the suite alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/build.sh
stage() { printf '\n== %s (%s)\n' "$1" "$(date -u +%H:%M:%S)"; }

stage "test suite"
(cd build && ctest --output-on-failure --timeout 300)
[ "${QBX_QUICK:-0}" = 1 ] && exit 0

stage "test suite under sanitizers"
scripts/sanitize.sh
stage "fuzz targets"
scripts/fuzz.sh
stage "Debian package"
scripts/package.sh
stage "static checks"
scripts/analyse.sh
stage "done"
