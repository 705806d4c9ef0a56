#!/usr/bin/env bash
# Installs what Kavro needs, builds it into build/bin and starts the trainer program; arguments
# go to the program (a practice file to open, -n to start a practice, -Register to add it to the
# desktop's applications and file types).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
ninja -C build
mkdir -p "$HOME/Kavro catalog"
exec build/bin/kavropro "$@"
