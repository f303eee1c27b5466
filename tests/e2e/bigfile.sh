#!/bin/bash
# A big file in the real program: its first lines show while the rest is
# read, the window answers keys meanwhile, and quitting during the load is
# immediate and leaves the file as it was.
# Usage: bigfile.sh FEUILLON_EXECUTABLE
set -u
exe=$1
. "$(dirname "$0")/common.sh"
need_tools Xvfb xdotool import convert

if [ "${2:-}" = --inside ]; then
  work=$3
  big="$work/grand.txt"
  yes 'Ligne de texte accentuée : « à lire », encore un peu de texte pour la longueur.' |
    head -c $((30 << 20)) >"$big"
  before=$(md5sum <"$big")
  trap 'kill -9 "${pid:-}" 2>/dev/null; wait "${pid:-}" 2>/dev/null' EXIT
  start_on "$big"
  focus "$main"
  if command -v tesseract >/dev/null 2>&1; then
    got=$(status_text "$main" SouthEast)
    case $got in Chargement*) echo "ok: status reads '$got'" ;;
    *) fail "status reads '$got', expected 'Chargement… N %'" ;; esac
  else
    echo "note: tesseract missing, progress not read"
  fi
  # Keys are answered while the file loads: a new tab, closed again.
  xdotool key --clearmodifiers ctrl+shift+n
  wait_until 3 title_is "$main" "Feuillon" || fail "Ctrl+Shift+N not answered during the load"
  xdotool key --clearmodifiers ctrl+w
  wait_until 3 title_is "$main" "Feuillon | $big" || fail "Ctrl+W not answered during the load"
  echo "ok: keys answered during the load"
  xdotool key --clearmodifiers ctrl+q
  wait_until 5 eval "! running $pid" || fail "quitting during the load took more than 5 s"
  [ "$(md5sum <"$big")" = "$before" ] || fail "the file changed"
  echo "ok: quit during the load at once, file unchanged"
  exit 0
fi

run_in_xvfb "$0" "$exe"
