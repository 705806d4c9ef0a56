#!/usr/bin/env bash
# Installs what Kavro needs, builds the programs into build/bin (the tests are built by
# scripts/test.sh) and starts the trainer program; arguments go to the program (a practice file
# to open, -n to start a practice, -Register to add it to the desktop's applications and file
# types). Without a sensor attached, a simulated serial sensor plays a demonstration practice on
# COM1 for this run (--no-simulator turns that off).
set -euo pipefail
cd "$(dirname "$0")/.."
simulate=1
args=()
for a in "$@"; do
  if [ "$a" = "--no-simulator" ]; then simulate=0; else args+=("$a"); fi
done
bash scripts/deps.sh
# shellcheck source=scripts/compiler_cache.sh
source scripts/compiler_cache.sh
cmake -S . -B build -G Ninja >/dev/null
ninja -C build kavro_programs
mkdir -p "$HOME/Kavro catalog"

# A Kavro USB device (vendor 4b56), or a serial adapter that may carry a serial sensor.
sensor_attached() {
  local v
  for v in /sys/bus/usb/devices/*/idVendor; do
    [ -r "$v" ] && [ "$(cat "$v")" = "4b56" ] && return 0
  done
  compgen -G "/dev/ttyUSB*" >/dev/null || compgen -G "/dev/ttyACM*" >/dev/null
}

if [ "$simulate" = 1 ] && ! sensor_attached; then
  link="$(mktemp -u "${TMPDIR:-/tmp}/kavro-demo-sensor.XXXXXX")"
  build/bin/kavro-serialsim --model vantage --link "$link" --script data/demo/practice.sim --loop \
    2>/dev/null &
  sim=$!
  trap 'kill "$sim" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  # For this run only: the user's settings stay as they are.
  export KAVRO_COM1="$link" KAVRO_ENABLE_RS232=1
  echo "No sensor attached: a simulated sensor plays a demonstration on COM1 (--no-simulator: none)."
fi
build/bin/kavropro ${args[@]+"${args[@]}"}
