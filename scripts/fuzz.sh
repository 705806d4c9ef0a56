#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short, bounded time.
# Usage: scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-20}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKAVRO_FUZZ=ON >/dev/null
ninja -C build-fuzz
shopt -s nullglob
for target in build-fuzz/fuzz/*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="$(mktemp -d)"
  seeds=()
  for d in tests/*/corpus/"$name" tests/*/corpus; do [ -d "$d" ] && seeds+=("$d"); done
  echo "== fuzzing $name for ${secs}s"
  # Leak checks stay with the sanitizer test run: font libraries keep caches for every new face.
  ASAN_OPTIONS=detect_leaks=0 "$target" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 "$corpus" "${seeds[@]}" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
