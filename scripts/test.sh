#!/usr/bin/env bash
# Builds Kavro and runs every test. Usage: scripts/test.sh [build-folder] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
jobs="$(nproc 2>/dev/null || echo 4)"
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
ninja -C "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600
