#!/usr/bin/env bash
# Configures and builds into build/ (reused between runs; ccache keeps rebuilds quick).
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
[ "${CI:-}" = true ] && werror=ON

cmake -S . -B build -G Ninja -DQBX_WERROR="$werror" >/dev/null
cmake --build build --parallel "$(nproc)"
