#!/bin/sh
# Starts the real program in a virtual X server from a folder without
# "logo.ico" and checks that its window still carries an icon
# (_NET_WM_ICON), the application's own.
# Usage: window-icon.sh FEUILLON_EXECUTABLE
set -u
exe=$1
for tool in xvfb-run xdotool xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool n'est pas installé (paquets xvfb, xdotool, x11-utils ; scripts/setup.sh les installe)."
    exit 77
  fi
done

if [ "${2:-}" = --inside ]; then
  "$exe" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Feuillon' | head -n 1)
  [ -n "$window" ] || { echo "FAIL: no Feuillon window appeared"; exit 1; }
  # The icon follows the first frame: a few milliseconds after the window.
  icons=
  for _ in $(seq 50); do
    icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)')
    [ -n "$icons" ] && break
    sleep 0.1
  done
  echo "$icons"
  xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
  echo "$icons" | grep -q 'Icon (16 x 16)' || { echo "FAIL: the window has no 16 x 16 icon"; exit 1; }
  echo "$icons" | grep -q 'Icon (48 x 48)' || { echo "FAIL: the window has no 48 x 48 icon"; exit 1; }
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -m 700 "$work/config" "$work/runtime"
cd "$work" || exit 1
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORMTHEME='' \
  xvfb-run -a -s "-screen 0 1280x800x24" sh "$0" "$exe" --inside
