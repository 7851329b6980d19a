#!/usr/bin/env bash
# Installs the Debian packages the game, its data generator and its tests need.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config ninja-build
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev
  libpng-dev libjpeg-dev zlib1g-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl1 libegl-mesa0
  fonts-ipafont-gothic timgm6mb-soundfont libfluidsynth3
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth libx11-dev
  clang libclang-rt-14-dev
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
