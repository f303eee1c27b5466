#!/bin/bash
# Files from Windows in the real program, in a real X server: a Windows-1252
# letter, a CRLF file and a UTF-8 file with a byte-order mark are each opened,
# edited by one typed letter and saved with Ctrl+S; the file must be its old
# bytes with that letter in front, and the status bar must name its form.
# Usage: encodings.sh FEUILLON_EXECUTABLE
set -u
# Absolute: the session runs in a folder of its own.
exe=$(realpath "$1")
self=$(realpath "$0")
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool n'est pas installé (paquets xvfb, xdotool, imagemagick ; scripts/setup.sh les installe)."
    exit 77
  fi
done

fail() { echo "FAIL: $*"; exit 1; }

# The right end of the status bar, read off the screen.
form_text() { # window
  import -window "$1" "$work/window.png"
  convert "$work/window.png" -gravity SouthEast -crop 300x30+0+0 +repage -scale 300% "$work/form.png"
  tesseract "$work/form.png" - 2>/dev/null | tr -s ' ' | head -n 1
}

check() { # name, mark and text (printf formats), letter, words the status must show
  local file="$work/$1" expected
  printf "$2$3" > "$file"
  "$exe" "$file" &
  pid=$!
  main=$(timeout 30 xdotool search --sync --onlyvisible --name "^Feuillon | $file\$" | head -n 1)
  [ -n "$main" ] || fail "$1: no Feuillon window appeared"
  # No box at all: these are ordinary files.
  [ "$(xdotool search --onlyvisible --pid "$pid" | wc -l)" -eq 1 ] || fail "$1: a box opened"
  xdotool windowfocus --sync "$main"
  sleep 0.2
  xdotool key --clearmodifiers ctrl+Home
  xdotool type --delay 20 "$4"
  xdotool key --clearmodifiers ctrl+s
  sleep 0.5
  expected=$(printf "$2%s$3" "$4" | od -An -tx1)
  [ "$(od -An -tx1 < "$file")" = "$expected" ] || fail "$1: saved bytes$(od -An -tx1 < "$file")"
  echo "ok: $1 saved as its bytes with '$4' in front"
  if command -v tesseract >/dev/null 2>&1; then
    got=$(form_text "$main")
    for word in $5; do
      case $got in *"$word"*) ;; *) fail "$1: status shows '$got', expected $5" ;; esac
    done
    echo "ok: $1: status shows '$got'"
  else
    echo "note: tesseract missing, status not read"
  fi
  import -window root "$work/$1.png"
  kill "$pid"
  wait "$pid" 2>/dev/null
}

if [ "${2:-}" = --inside ]; then
  work=$3
  check lettre-1252.txt '' 'c\234ur \200 l\222\351t\351\r\nfin\r\n' Z "Windows-1252 CRLF"
  check fins-crlf.txt '' 'un\r\ndeux\r\n' y "UTF-8 CRLF"
  # The letter goes after the mark, which is not text.
  check marque.txt '\357\273\277' 'marque\n' x "BOM LF"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -m 700 "$work/config" "$work/runtime"
cd "$work" || exit 1
HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORMTHEME='' \
  LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1280x800x24" bash "$self" "$exe" --inside "$work"
