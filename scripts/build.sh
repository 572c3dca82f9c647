#!/usr/bin/env bash
# Configures and builds into build/ (reused between runs; ccache keeps rebuilds quick).
# Usage: scripts/build.sh [TARGET...]   (no target: everything, the tests included)
#
# Warnings are always errors here, with CI=true or without: the sources are warning-free with
# Debian 12's compilers at every optimisation level they are built with, and one set of flags
# means that switching between a CI run and a plain run never changes the compile commands, so
# ninja and ccache reuse what was built instead of building everything again.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -G Ninja -DQBX_WERROR=ON >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build build --parallel "$(nproc)" "${targets[@]}"
