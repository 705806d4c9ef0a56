#!/usr/bin/env bash
# Installs what building and testing need, builds Kavro and runs every test.
# Usage: scripts/test.sh [build-folder] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
# A fresh machine has nothing yet; with everything installed this only checks.
bash scripts/deps.sh
# shellcheck source=scripts/compiler_cache.sh
source scripts/compiler_cache.sh
build="${1:-build}"
shift || true
jobs="$(nproc 2>/dev/null || echo 4)"
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
# KAVRO_TARGETS (space-separated) builds only those targets; ctest then knows only their tests.
# shellcheck disable=SC2086
ninja -C "$build" -j "$jobs" ${KAVRO_TARGETS:-}
# Only the tests that drive simulators in real time (label REAL_TIME) get a second run when they
# fail: a machine loaded by other jobs can starve them. Every other test must pass the first time,
# so a flaky one is seen. Both sets always run; the script fails when either did.
# With KAVRO_TARGETS the programs not built stand as placeholder tests: leave them out.
skip=()
if [[ -n "${KAVRO_TARGETS:-}" ]]; then
  skip=(-E '_NOT_BUILT$')
fi
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600 -LE REAL_TIME "${skip[@]}" || status=1
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600 -L REAL_TIME --repeat until-pass:2 "${skip[@]}" || status=1
exit "$status"
