#!/bin/bash
# A user's session with the real program in a real X server, driven by real
# keys and the real mouse wheel: open a file given on the command line, type,
# save, open a new tab, find a word, zoom, quit and answer the end-of-run
# question. Checks the files on disk, the window titles and the screen.
# Usage: editing.sh FEUILLON_EXECUTABLE
set -u
exe=$1
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool n'est pas installé (paquets xvfb, xdotool, imagemagick ; scripts/setup.sh les installe)."
    exit 77
  fi
done

fail() { echo "FAIL: $*"; exit 1; }

# Pixels of exactly this colour in a screenshot.
count_colour() {
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}

wait_title() { # window, expected title
  for _ in $(seq 100); do
    [ "$(xdotool getwindowname "$1" 2>/dev/null)" = "$2" ] && return 0
    sleep 0.05
  done
  fail "title is '$(xdotool getwindowname "$1")', expected '$2'"
}

focus() { xdotool windowfocus --sync "$1"; sleep 0.2; }

# The status line of the main window, read off the screen.
status_text() { # window
  import -window "$1" "$work/window.png"
  convert "$work/window.png" -gravity SouthWest -crop 500x30+0+0 +repage -scale 300% "$work/status.png"
  tesseract "$work/status.png" - 2>/dev/null | tr -s ' ' | head -n 1
}

expect_status() { # window, expected beginning of the status line
  command -v tesseract >/dev/null 2>&1 || { echo "note: tesseract missing, status line not read"; return 0; }
  got=$(status_text "$1")
  case $got in "$2"*) echo "ok: status reads '$got'" ;; *) fail "status reads '$got', expected '$2…'" ;; esac
}

if [ "${2:-}" = --inside ]; then
  work=$3
  doc="$work/lettre.txt"
  newdoc="$work/nouveau.txt"
  printf 'bonjour\n' > "$doc"
  "$exe" "$doc" &
  pid=$!
  trap 'kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
  main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Feuillon' | head -n 1)
  [ -n "$main" ] || fail "no Feuillon window appeared"
  wait_title "$main" "Feuillon | $doc"
  focus "$main"

  # Type at the start of the document and save with Ctrl+S.
  xdotool type --delay 20 'salut '
  xdotool key --clearmodifiers ctrl+s
  sleep 0.5
  [ "$(cat "$doc")" = 'salut bonjour' ] || fail "saved file holds '$(cat "$doc")'"
  echo "ok: typed text saved with Ctrl+S"

  # A new tab, some text, then find a word in it.
  xdotool key --clearmodifiers ctrl+shift+n
  wait_title "$main" "Feuillon"
  xdotool type --delay 20 'le chat dort sur le chat'
  xdotool key --clearmodifiers ctrl+f
  find=$(timeout 10 xdotool search --sync --onlyvisible --name '^Recherche$' | head -n 1)
  [ -n "$find" ] || fail "the find window did not open"
  focus "$find"
  xdotool type --delay 20 'chat'
  # Tab to the "Rechercher" button and press it.
  xdotool key Tab Tab space
  wait_title "$main" "chat"
  # Without a window manager the find window sits at the top left, over the text.
  xdotool windowmove --sync "$find" 700 500
  sleep 0.5
  import -window root "$work/found.png"
  blue=$(count_colour "$work/found.png" '#167AC8')
  [ "$blue" -gt 200 ] || fail "no highlight on screen ($blue pixels of #167AC8)"
  echo "ok: the find run highlighted the word ($blue pixels of #167AC8)"
  # Close the find window with its "Fermé" button (focus is on "Rechercher"):
  # while it is open, quitting the main window would not end the program.
  focus "$find"
  xdotool key Tab Tab space
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Recherche$' >/dev/null 2>&1 || break
    sleep 0.1
  done

  # Zoom with Control and the real wheel over the text, then reset it.
  focus "$main"
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove --sync $((X + 300)) $((Y + 150))
  import -window "$main" "$work/before.png"
  expect_status "$main" "Zoom: 100% , 24 Caract"
  xdotool keydown ctrl click 4 click 4 click 4 keyup ctrl
  sleep 0.3
  expect_status "$main" "Zoom: 103%"
  import -window "$main" "$work/zoomed.png"
  changed=$(compare -metric AE "$work/before.png" "$work/zoomed.png" null: 2>&1 || true)
  [ "${changed%% *}" -gt 500 ] || fail "Control+wheel changed nothing on screen ($changed pixels)"
  xdotool key --clearmodifiers ctrl+KP_Multiply
  sleep 0.3
  import -window "$main" "$work/reset.png"
  expect_status "$main" "Zoom: 100%"
  back=$(compare -metric AE "$work/before.png" "$work/reset.png" null: 2>&1 || true)
  [ "${back%% *}" -lt 50 ] || fail "Rétablir Zoom did not bring the text back ($back pixels differ)"
  echo "ok: Control+wheel zoomed and Ctrl+* reset it"

  # Quit: the new tab has unsaved text, so the program asks; answer Yes
  # and save it through the dialog.
  xdotool key --clearmodifiers ctrl+q
  question=$(timeout 10 xdotool search --sync --onlyvisible --name '^Enregistrer le fichier$' | head -n 1)
  [ -n "$question" ] || fail "no end-of-run question"
  focus "$question"
  xdotool key Return
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Enregistrer un fichier$' | head -n 1)
  [ -n "$dialog" ] || fail "no save dialog after Yes"
  focus "$dialog"
  xdotool type --delay 10 "$newdoc"
  xdotool key Return
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the program is still running after the end-of-run question"
  # A sanitizer report at the end of the run shows only in the exit status.
  wait "$pid"
  status=$?
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
  [ "$(cat "$newdoc" 2>/dev/null)" = 'le chat dort sur le chat' ] || fail "end-of-run save holds '$(cat "$newdoc" 2>/dev/null)'"
  [ "$(cat "$doc")" = 'salut bonjour' ] || fail "the first file changed to '$(cat "$doc")'"
  echo "ok: Ctrl+Q asked, and the answer saved the new document"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -m 700 "$work/config" "$work/runtime"
cd "$work" || exit 1
HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORMTHEME='' \
  LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$exe" --inside "$work"
