#!/bin/bash
# Unsaved text survives a kill: typed in the real program, which is then
# killed with SIGKILL (after a pause) or ended with SIGTERM (at once); the
# next start offers the text, and once restored it saves exactly that text.
# Usage: recovery.sh FEUILLON_EXECUTABLE
set -u
exe=$1
. "$(dirname "$0")/common.sh"
need_tools Xvfb xdotool

# The whole text in a copy, or its last key at the end of a log of edits
# (the character, then the record's line end).
journal_holds() {
  local log
  grep -qs -- "$1" "$work"/data/vrel/Feuillon/journal/run-*/*.entry && return 0
  for log in "$work"/data/vrel/Feuillon/journal/run-*/*.log; do
    [ -f "$log" ] && [ "$(tail -c 2 "$log")" = "${1: -1}" ] && return 0
  done
  return 1
}

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
  # A character with no key of its own (é) is typed through a key xdotool
  # maps for it and maps back after the delay: a program slower than that to
  # read the key (the sanitizer build) finds the mapping gone and gets nothing.
  xdotool type --delay 150 "$2"
  # A kill gives no warning: what counts is the copy made once typing paused.
  [ "$1" = KILL ] && { wait_until 5 journal_holds "$2" || fail "the text never reached the journal"; }
  end_with "$1"
}

# Starts the program and answers "Restaurer" to the offer it must make.
start_and_restore() {
  start
  offer=$(wait_window 'Textes non enregistrés')
  [ -n "$offer" ] || fail "the start offered nothing"
  focus "$offer"
  xdotool key Return
  wait_hidden 'Textes non enregistrés'
}

# Ends the program with this signal and waits until it is gone.
end_with() { # signal
  kill -"$1" "$pid"
  wait_ended "$pid" || fail "SIG$1 did not end the program"
  wait "$pid" 2>/dev/null
}

# Restores at the next start, saves the restored tab and quits.
restore_and_save() { # text, file
  start_and_restore
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
  echo "RELIABILITY: real program killed with SIGKILL after typing and a pause (Xvfb) | 1 | text offered at the next start, restored and saved whole"
  type_then_end TERM 'tapé avant la fin'
  restore_and_save 'tapé avant la fin' "$work/apres-term.txt"
  echo "ok: text typed right before SIGTERM restored at the next start"
  echo "RELIABILITY: real program sent SIGTERM right after typing (Xvfb) | 1 | text offered at the next start, restored and saved whole"

  # A text that makes the program die right after it is restored is still
  # asked about at every start, never restored by itself.
  type_then_end KILL 'encore et encore'
  for round in 1 2; do
    start_and_restore
    end_with KILL
  done
  restore_and_save 'encore et encore' "$work/apres-boucle.txt"
  echo "ok: killed right after each restore, the text is still asked about and comes back"
  echo "RELIABILITY: crash loop: killed right after each restore, twice (Xvfb) | 2 | asked at every start, never restored by itself, text whole at the end"
  exit 0
fi

run_in_xvfb "$0" "$exe"
