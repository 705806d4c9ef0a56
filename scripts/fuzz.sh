#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short, bounded time.
# Usage: scripts/fuzz.sh [seconds-per-target]
# The seed is fixed (KAVRO_FUZZ_SEED, default 1) so that a run explores the inputs a faster run
# explored before it; set another seed to explore further.
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-20}"
# A load may need at most 256 MiB plus 64 times its input; inputs are at most max_len bytes, so
# a run that needs more memory than that has found a fault.
max_len=65536
rss_limit_mb=$(( 256 + (64 * max_len + 1048575) / 1048576 ))
# shellcheck source=scripts/compiler_cache.sh
source scripts/compiler_cache.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKAVRO_FUZZ=ON >/dev/null
ninja -C build-fuzz kavro_fuzzers
shopt -s nullglob
artifacts="${KAVRO_FUZZ_ARTIFACTS:-build-fuzz/artifacts}"
mkdir -p "$artifacts"
status=0
for target in build-fuzz/fuzz/*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="$(mktemp -d)"
  seeds=()
  for d in tests/*/corpus/"$name" tests/*/corpus; do [ -d "$d" ] && seeds+=("$d"); done
  echo "== fuzzing $name for ${secs}s"
  # Leak checks stay with the sanitizer test run: font libraries keep caches for every new face.
  # The sanitizer's quarantine of freed memory (256 MiB by default) would count against the
  # memory bound; a small one still catches a use right after a free.
  log="$(mktemp)"
  if ! ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=16 "$target" -max_total_time="$secs" -max_len="$max_len" -rss_limit_mb="$rss_limit_mb" -timeout=10 \
       -print_final_stats=0 -seed="${KAVRO_FUZZ_SEED:-1}" -artifact_prefix="$artifacts/$name-" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "== $name failed; the input is in $artifacts (keep it in tests/<area>/corpus/)"
    status=1
  else
    tail -n 1 "$log"
  fi
  rm -f "$log"
  rm -rf "$corpus"
done
exit "$status"
