# Shared by the end-to-end scripts, which source it. They drive the real
# program in a virtual X server and wait for what they expect by polling,
# each wait with a limit, never by a fixed sleep.

fail() { echo "FAIL: $*"; exit 1; }

# Skips (exit 77) unless every tool named is installed.
need_tools() { # tool...
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 ||
      { echo "SKIP: $tool n'est pas installé (scripts/setup.sh l'installe)."; exit 77; }
  done
}

# Runs the command every 50 ms until it succeeds; false after the limit.
wait_until() { # seconds, command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

title_is() { [ "$(xdotool getwindowname "$1")" = "$2" ]; }
wait_title() { # window, expected title
  wait_until 10 title_is "$1" "$2" || fail "title is '$(xdotool getwindowname "$1")', expected '$2'"
}

# The first visible window whose whole title is this one.
wait_window() { # title
  timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
wait_hidden() { # title
  wait_until 10 eval "! shown '$1'" || fail "the window '$1' is still on screen"
}

focused() { [ "$(xdotool getwindowfocus)" = "$1" ]; }
focus() { # window
  # --sync alone waits for ever when the focus never comes.
  timeout 10 xdotool windowfocus --sync "$1"
  wait_until 5 focused "$1" || fail "window $1 did not take the focus"
}

# Types this path into the save dialog that opens and accepts it.
answer_save_dialog() { # path
  local dialog
  dialog=$(wait_window 'Enregistrer un fichier')
  [ -n "$dialog" ] || fail "no save dialog"
  focus "$dialog"
  xdotool type --delay 10 "$1"
  xdotool key Return
}

# One end of the window's status bar, read off the screen (tesseract).
status_text() { # window, SouthWest (left end) or SouthEast (right end)
  import -window "$1" "$work/window.png"
  convert "$work/window.png" -gravity "${2:-SouthWest}" -crop 500x30+0+0 +repage -scale 300% "$work/status.png"
  tesseract "$work/status.png" - 2>/dev/null | tr -s ' ' | head -n 1
}

# Starts the program on this file and waits for its window; sets pid and
# main for the caller.
start_on() { # file
  "$exe" "$1" &
  pid=$!
  main=$(wait_window "Feuillon | $1")
  [ -n "$main" ] || fail "no Feuillon window appeared"
}

running() { kill -0 "$1" 2>/dev/null; }
wait_ended() { # pid
  wait_until 10 eval "! running $1"
}

# Pixels of exactly this colour in a screenshot.
count_colour() { # picture, colour
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}

# Starts openbox and waits until it manages the screen; its process id is
# left in wm_pid for the caller's trap.
start_window_manager() {
  openbox >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  wait_until 20 eval "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
    { cat "$work/openbox.log"; fail "openbox did not start"; }
}

# Runs "SCRIPT EXE --inside WORK" in a new virtual X server, with settings,
# data, state and runtime folders of its own in a temporary WORK folder that
# goes afterwards. The server picks a free display itself (-displayfd): two
# runs that start together never share one. -noreset: by default the server
# starts afresh whenever its last client leaves (setxkbmap, xprop), which
# drops the keyboard layout and refuses the next client for a moment.
run_in_xvfb() { # script, exe
  local work status script server
  script="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
  work=$(mktemp -d)
  mkdir -m 700 "$work/config" "$work/data" "$work/state" "$work/runtime"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  server=$!
  if wait_until 20 test -s "$work/display"; then
    (cd "$work" && DISPLAY=":$(cat "$work/display")" HOME="$work" XDG_CONFIG_HOME="$work/config" \
      XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime" \
      QT_QPA_PLATFORMTHEME='' LC_ALL=C.UTF-8 bash "$script" "$2" --inside "$work")
    status=$?
  else
    cat "$work/xvfb.log"
    echo "FAIL: Xvfb did not start"
    status=1
  fi
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  rm -rf "$work"
  return $status
}
