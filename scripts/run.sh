#!/usr/bin/env bash
# Installs what is missing, builds the program (not the tests), and starts QBX7Config.
# Arguments go to the program: scripts/run.sh --help, scripts/run.sh store --dry-run ...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
# The program's target brings the window's module with it.
scripts/build.sh qbx7config
exec build/src/app/qbx7config "$@"
