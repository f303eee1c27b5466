#!/usr/bin/env bash
# Installs what Feuillon needs to build and test on Debian 12, then configures
# and builds it. Quiet and quick when everything is already there.
# With a target (scripts/run.sh asks for "feuillon"), installs only what
# building and running the program needs and builds only that target.
# Usage: scripts/setup.sh [build-dir [target]]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
target=${2:-}

# Building and running (qt6-wayland: the window on a Wayland desktop;
# libxcb1-dev: configuring the build folder looks for the bench's library).
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
          qt6-translations-l10n qt6-wayland fonts-dejavu-core xvfb xauth)
# Testing.
[ -n "$target" ] ||
  packages+=(xdotool x11-utils x11-xkb-utils openbox weston imagemagick
             tesseract-ocr tesseract-ocr-eng librsvg2-bin
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
cmake --build "$build_dir" ${target:+--target "$target"} -- -j"$(nproc)" | { grep -v '^\[' || true; }
test -x "$build_dir/feuillon"
