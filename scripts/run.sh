#!/usr/bin/env bash
# Installs what is missing, builds, and starts QBX7Config. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
scripts/build.sh
exec build/src/app/qbx7config "$@"
