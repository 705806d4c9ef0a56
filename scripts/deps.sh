#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Kavro needs.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
PKGS=(
  build-essential cmake ninja-build pkg-config ccache clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-l10n-tools qt6-tools-dev libgl-dev
  libusb-1.0-0-dev
  fonts-liberation fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-olefile libgsf-bin poppler-utils qpdf xvfb xauth espeak-ng sox
  xdg-utils libqt6svg6 qt6-translations-l10n desktop-file-utils shared-mime-info
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
