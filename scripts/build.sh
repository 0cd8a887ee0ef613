#!/usr/bin/env bash
# Configures and builds one build tree: build/ (default) or, with --sanitize, build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  args=(-DCMAKE_BUILD_TYPE=Debug -DZEPH_SANITIZE=ON)
fi
cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
