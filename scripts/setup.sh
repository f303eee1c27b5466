#!/usr/bin/env bash
# Installs what Feuillon needs to build and test on Debian 12, then configures
# and builds it. Quiet and quick when everything is already there.
# Usage: scripts/setup.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev
          qt6-translations-l10n qt6-wayland fonts-dejavu-core
          xvfb xauth xdotool x11-utils x11-xkb-utils openbox weston imagemagick tesseract-ocr tesseract-ocr-eng librsvg2-bin
          libxcb1-dev
          desktop-file-utils appstream dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installation de : ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFEUILLON_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build_dir" -- -j"$(nproc)" | { grep -v '^\[' || true; }
test -x "$build_dir/feuillon"
