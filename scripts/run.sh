#!/usr/bin/env bash
# Installs what Kavro needs, builds it into build/bin and starts the trainer program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
ninja -C build
mkdir -p "$HOME/Kavro catalog"
if [ -x build/bin/kavropro ]; then
  exec build/bin/kavropro "$@"
fi
echo "Built the Kavro libraries into build/bin; the trainer program is not part of this build yet."
ls build/bin
