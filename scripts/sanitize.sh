#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs the whole test suite there; any sanitizer report fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset asan >/dev/null
cmake --build build-asan --parallel "$(nproc)"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
# LeakSanitizer's leak check at exit stops every thread with ptrace; on a busy machine its tracer
# has crashed ("Tracer caught signal 11") after a test had passed. A test that fails twice fails.
ctest --preset asan --timeout 600 --repeat until-pass:2 "$@"
