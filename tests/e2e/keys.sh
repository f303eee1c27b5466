#!/bin/bash
# The keyboard alone, on a French (AZERTY) layout, with real keys in a real
# X server under a window manager: Return and Escape in the tool windows,
# Ctrl+W, the menus by Alt and their first letter, "A Propos" by F1. The tool
# windows open centred on the main window, and closing the main window with
# them open ends the run at once.
# Usage: keys.sh FEUILLON_EXECUTABLE
set -u
exe=$1
. "$(dirname "$0")/common.sh"
need_tools Xvfb xdotool xprop openbox setxkbmap import convert

centre() { # window; prints "x y"
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
}
over_main() { # window; its centre lies within 40 pixels of the main window's
  local mx my tx ty
  read -r mx my < <(centre "$main")
  read -r tx ty < <(centre "$1")
  [ $(((mx - tx) ** 2 + (my - ty) ** 2)) -lt 1600 ] ||
    fail "window $1 is centred at $tx,$ty, the main window at $mx,$my"
}
open_tool() { # keys, title; the tool window opened by the keys, checked over the main window
  focus "$main"
  xdotool key --clearmodifiers $1
  tool=$(wait_window "$2")
  [ -n "$tool" ] || fail "$1 opened no window '$2'"
  over_main "$tool"
  focus "$tool"
}
saved_as() { [ "$(cat "$1")" = "$2" ]; }
lit() { import -window "$main" "$work/shot.png" && [ "$(count_colour "$work/shot.png" '#167AC8')" -gt 100 ]; }
popups() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }

if [ "${2:-}" = --inside ]; then
  work=$3
  setxkbmap fr || fail "setxkbmap fr"
  start_window_manager
  setxkbmap -query | grep -q '^layout: *fr$' || fail "the keyboard is not French: $(setxkbmap -query)"
  doc="$work/chat.txt"
  printf 'le chat dort sur le chat' >"$doc"
  trap 'kill -9 "${pid:-}" "$wm_pid" 2>/dev/null; wait 2>/dev/null' EXIT
  start_on "$doc"

  open_tool ctrl+h Remplacer
  xdotool type --delay 20 chat
  xdotool key Tab
  xdotool type --delay 20 chien
  xdotool key Return
  wait_title "$main" chat
  # A run that found the word brings the main window to the front.
  wait_until 5 focused "$main" || fail "the main window did not come to the front"
  focus "$tool"
  xdotool key Escape
  wait_hidden Remplacer
  focus "$main"
  xdotool key --clearmodifiers ctrl+s
  wait_until 10 saved_as "$doc" 'le chien dort sur le chien' || fail "saved file holds '$(cat "$doc")'"
  echo "ok: Return in the replace window replaced, Escape closed it"

  open_tool ctrl+f Recherche
  xdotool type --delay 20 dort
  xdotool key Return
  wait_title "$main" dort
  wait_until 5 focused "$main" || fail "the main window did not come to the front"
  # The run selects the match; Home leaves it, and its highlighting shows whole.
  xdotool key Home
  wait_until 10 lit || fail "Return in the find window highlighted nothing"
  focus "$tool"
  xdotool key Escape
  wait_hidden Recherche
  lit || fail "Escape in the find window took the highlighting away"
  echo "ok: Return in the find window searched, Escape closed it and kept the highlighting"

  focus "$main"
  xdotool key F1
  wait_title "$main" Feuillon
  xdotool key --clearmodifiers ctrl+w
  wait_title "$main" "Feuillon | $doc"
  echo "ok: F1 opened an about tab on a French keyboard, Ctrl+W closed it"

  for letter in f a o; do
    before=$(popups)
    xdotool key --clearmodifiers alt+$letter
    wait_until 5 eval '[ "$(popups)" -gt "$before" ]' || fail "Alt+$letter opened no menu"
    xdotool key Escape
    wait_until 5 eval '[ "$(popups)" -eq "$before" ]' || fail "Escape left the menu of Alt+$letter open"
    # A second Escape leaves the menu bar, and the keys go to the text again.
    xdotool key Escape
  done
  open_tool 'alt+o Return' Option
  xdotool key Escape
  wait_hidden Option
  echo "ok: Alt+F, Alt+A and Alt+O open their menus; Alt+O, Return opens the window 'Option'"

  # Unsaved text, two tool windows open: closing the main window from the
  # window manager ends the run, and the text is written at once.
  focus "$main"
  xdotool type --delay 20 'x'
  open_tool ctrl+f Recherche
  open_tool ctrl+h Remplacer
  focus "$main"
  xdotool key --clearmodifiers alt+F4
  wait_ended "$pid" || fail "the program goes on after its main window was closed"
  wait "$pid" || fail "the program ended with status $?"
  saved_as "$doc" 'xle chien dort sur le chien' || fail "end of run wrote '$(cat "$doc")'"
  echo "ok: closing the main window closed the tool windows and ended the run"
  exit 0
fi

run_in_xvfb "$0" "$exe"
