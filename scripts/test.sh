#!/usr/bin/env bash
# Sets up, builds and runs every test: once normally, once with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

bash scripts/build.sh
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

bash scripts/build.sh --sanitize
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 900)
