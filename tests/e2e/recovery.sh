#!/bin/bash
# Unsaved text survives a kill: typed in the real program, which is then
# killed with SIGKILL (after a pause) or ended with SIGTERM (at once); the
# next start offers the text, and once restored it saves exactly that text.
# Usage: recovery.sh FEUILLON_EXECUTABLE
set -u
exe=$1
. "$(dirname "$0")/common.sh"
need_tools Xvfb xdotool

journal_holds() { grep -qs -- "$1" "$work"/data/vrel/Feuillon/journal/run-*/*.entry; }

# Starts the program, waits for its window and gives it the focus.
start() {
  "$exe" &
  pid=$!
  main=$(wait_window 'Feuillon')
  [ -n "$main" ] || fail "no Feuillon window appeared"
  focus "$main"
}

# Types in a new tab, then ends the program with this signal.
type_then_end() { # signal, text
  start
  xdotool key --clearmodifiers ctrl+shift+n
  wait_title "$main" "Feuillon"
  xdotool type --delay 20 "$2"
  # A kill gives no warning: what counts is the copy made once typing paused.
  [ "$1" = KILL ] && { wait_until 5 journal_holds "$2" || fail "the text never reached the journal"; }
  kill -"$1" "$pid"
  wait_ended "$pid" || fail "SIG$1 did not end the program"
  wait "$pid" 2>/dev/null
}

# Restores at the next start, saves the restored tab and quits.
restore_and_save() { # text, file
  start
  offer=$(wait_window 'Textes non enregistrés')
  [ -n "$offer" ] || fail "the next start offered nothing"
  focus "$offer"
  xdotool key Return
  wait_hidden 'Textes non enregistrés'
  focus "$main"
  xdotool key --clearmodifiers ctrl+s
  answer_save_dialog "$2"
  wait_until 10 test -s "$2" || fail "the restored text was not saved"
  [ "$(cat "$2")" = "$1" ] || fail "restored text is '$(cat "$2")', expected '$1'"
  focus "$main"
  xdotool key --clearmodifiers ctrl+q
  wait_ended "$pid" || fail "the program did not end after Ctrl+Q"
}

if [ "${2:-}" = --inside ]; then
  work=$3
  trap 'kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
  type_then_end KILL 'tapé avant le crash'
  restore_and_save 'tapé avant le crash' "$work/apres-kill.txt"
  echo "ok: text typed before SIGKILL restored at the next start"
  type_then_end TERM 'tapé avant la fin'
  restore_and_save 'tapé avant la fin' "$work/apres-term.txt"
  echo "ok: text typed right before SIGTERM restored at the next start"
  exit 0
fi

run_in_xvfb "$0" "$exe"
