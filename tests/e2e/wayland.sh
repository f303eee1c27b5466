#!/bin/bash
# Starts the real program on Qt's Wayland plugin under a headless Wayland
# compositor (weston) and checks that its window comes up: a top-level
# surface titled "Feuillon" that the compositor configures and that then
# receives a painted buffer.
# Usage: wayland.sh FEUILLON_EXECUTABLE
set -u
exe=$1
. "$(dirname "$0")/common.sh"
need_tools weston dpkg-query
dpkg-query -W -f='${Status}' qt6-wayland 2>/dev/null | grep -q 'ok installed' ||
  { echo "SKIP: qt6-wayland n'est pas installé (scripts/setup.sh l'installe)."; exit 77; }

work=$(mktemp -d)
trap 'kill "${app:-}" "${compositor:-}" 2>/dev/null; wait; rm -rf "$work"' EXIT
mkdir -m 700 "$work/config" "$work/data" "$work/state" "$work/runtime"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8
unset DISPLAY
cd "$work" || exit 1

weston --backend=headless-backend.so --shell=kiosk-shell.so --socket=feuillon-test \
  --idle-time=0 >"$work/weston.log" 2>&1 &
compositor=$!
wait_until 10 test -S "$XDG_RUNTIME_DIR/feuillon-test" ||
  { cat "$work/weston.log"; fail "weston did not start"; }

# The client's side of the protocol tells what the compositor did with the window.
WAYLAND_DISPLAY=feuillon-test QT_QPA_PLATFORM=wayland QT_QPA_PLATFORMTHEME='' WAYLAND_DEBUG=1 \
  "$exe" 2>"$work/client.log" &
app=$!
came_up() {
  grep -q 'xdg_toplevel@[0-9]*\.set_title("Feuillon")' "$work/client.log" &&
    awk '/ xdg_surface@[0-9]+\.configure\(/ { configured = 1 }
         configured && /-> wl_surface@[0-9]+\.attach\(wl_buffer/ { found = 1; exit }
         END { exit !found }' "$work/client.log"
}
wait_until 30 came_up || { tail -n 20 "$work/client.log"; fail "no Feuillon window came up under Wayland"; }
running "$app" || fail "the program ended under Wayland"
echo "ok: the window came up under weston (titled, configured, painted)"
