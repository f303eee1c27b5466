#!/bin/bash
# A user's session with the real program in a real X server, driven by real
# keys and the real mouse wheel: open a file given on the command line, type,
# save, open a new tab, find a word, zoom, quit and answer the end-of-run
# question. Checks the files on disk, the window titles and the screen.
# Usage: editing.sh FEUILLON_EXECUTABLE
set -u
exe=$1
. "$(dirname "$0")/common.sh"
need_tools Xvfb xdotool import convert

status_starts() { got=$(status_text "$1"); case $got in "$2"*) return 0 ;; esac; return 1; }
expect_status() { # window, expected beginning of the status line
  command -v tesseract >/dev/null 2>&1 || { echo "note: tesseract missing, status line not read"; return 0; }
  wait_until 10 status_starts "$1" "$2" || fail "status reads '$got', expected '$2…'"
  echo "ok: status reads '$got'"
}
saved_as() { [ "$(cat "$1")" = "$2" ]; }
lit_pixels() { # picture; more than 200 pixels of the highlight colour
  import -window root "$1"
  blue=$(count_colour "$1" '#167AC8')
  [ "$blue" -gt 200 ]
}
differs_from() { # window, picture, picture to write, least pixels that differ
  import -window "$1" "$3"
  changed=$(compare -metric AE "$2" "$3" null: 2>&1 || true)
  [ "${changed%% *}" -gt "$4" ]
}

if [ "${2:-}" = --inside ]; then
  work=$3
  doc="$work/lettre.txt"
  newdoc="$work/nouveau.txt"
  printf 'bonjour\n' > "$doc"
  trap 'kill -9 "${pid:-}" 2>/dev/null; wait "${pid:-}" 2>/dev/null' EXIT
  start_on "$doc"
  wait_title "$main" "Feuillon | $doc"
  focus "$main"

  # Type at the start of the document and save with Ctrl+S.
  xdotool type --delay 20 'salut '
  xdotool key --clearmodifiers ctrl+s
  wait_until 10 saved_as "$doc" 'salut bonjour' || fail "saved file holds '$(cat "$doc")'"
  echo "ok: typed text saved with Ctrl+S"

  # A new tab, some text, then find a word in it.
  xdotool key --clearmodifiers ctrl+shift+n
  wait_title "$main" "Feuillon"
  xdotool type --delay 20 'le chat dort sur le chat'
  xdotool key --clearmodifiers ctrl+f
  find=$(wait_window Recherche)
  [ -n "$find" ] || fail "the find window did not open"
  focus "$find"
  xdotool type --delay 20 'chat'
  # Tab to the "Rechercher" button and press it.
  xdotool key Tab Tab space
  wait_title "$main" "chat"
  # The find window opens over the text: out of the way.
  xdotool windowmove --sync "$find" 700 500
  wait_until 10 lit_pixels "$work/found.png" || fail "no highlight on screen ($blue pixels of #167AC8)"
  echo "ok: the find run highlighted the word ($blue pixels of #167AC8)"
  # Close the find window with its "Fermé" button (focus is on "Rechercher").
  focus "$find"
  xdotool key Tab Tab space
  wait_hidden Recherche

  # Zoom with Control and the real wheel over the text, then reset it.
  focus "$main"
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove --sync $((X + 300)) $((Y + 150))
  import -window "$main" "$work/before.png"
  expect_status "$main" "Zoom: 100% , 24 Caract"
  xdotool keydown ctrl click 4 click 4 click 4 keyup ctrl
  expect_status "$main" "Zoom: 103%"
  wait_until 10 differs_from "$main" "$work/before.png" "$work/zoomed.png" 500 ||
    fail "Control+wheel changed nothing on screen ($changed pixels)"
  xdotool key --clearmodifiers ctrl+KP_Multiply
  expect_status "$main" "Zoom: 100%"
  wait_until 10 eval '! differs_from "$main" "$work/before.png" "$work/reset.png" 50' ||
    fail "Rétablir Zoom did not bring the text back ($changed pixels differ)"
  echo "ok: Control+wheel zoomed and Ctrl+* reset it"

  # Quit: the new tab has unsaved text, so the program asks; answer Yes
  # and save it through the dialog.
  xdotool key --clearmodifiers ctrl+q
  question=$(wait_window 'Enregistrer le fichier')
  [ -n "$question" ] || fail "no end-of-run question"
  focus "$question"
  xdotool key Return
  answer_save_dialog "$newdoc"
  wait_ended "$pid" || fail "the program is still running after the end-of-run question"
  # A sanitizer report at the end of the run shows only in the exit status.
  wait "$pid"
  status=$?
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
  [ "$(cat "$newdoc" 2>/dev/null)" = 'le chat dort sur le chat' ] || fail "end-of-run save holds '$(cat "$newdoc" 2>/dev/null)'"
  [ "$(cat "$doc")" = 'salut bonjour' ] || fail "the first file changed to '$(cat "$doc")'"
  echo "ok: Ctrl+Q asked, and the answer saved the new document"
  exit 0
fi

run_in_xvfb "$0" "$exe"
