#!/bin/bash
# A log that grows while open in the real program: each new line shows with
# the view kept at the end, memory stays flat, and Ctrl+Home is answered
# right after an append. FEUILLON_FOLLOW_SECONDS sets how long the log
# grows, a line a second (15 by default).
# Usage: follow.sh FEUILLON_EXECUTABLE
set -u
exe=$1
. "$(dirname "$0")/common.sh"
need_tools Xvfb xdotool import convert tesseract openbox

resident_kb() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }
# The line of the cursor, read off the right end of the status bar. Narrow,
# and every line the reading gives is looked at: the "rechargé" message on
# the left may reach into the picture.
cursor_line() {
  import -window "$main" "$work/window.png"
  convert "$work/window.png" -gravity SouthEast -crop 300x30+0+0 +repage -scale 300% "$work/status.png"
  tesseract "$work/status.png" - 2>/dev/null | sed -n 's/.*Ligne \([0-9]*\).*/\1/p' | head -n 1
}
line_is() { [ "$(cursor_line)" = "$1" ]; }

if [ "${2:-}" = --inside ]; then
  work=$3
  log="$work/service.log"
  seconds=${FEUILLON_FOLLOW_SECONDS:-15}
  seq 1 55000 | sed 's/.*/2026-12-08 10:00:00 service[42]: ligne &, tout va bien, rien à signaler/' >"$log"
  lines=55000
  start_window_manager
  trap 'kill -9 "${pid:-}" "${wm_pid:-}" 2>/dev/null; wait 2>/dev/null' EXIT
  start_on "$log"
  focus "$main"
  xdotool key --clearmodifiers ctrl+End
  # The last line is empty: the cursor stands after the last line feed.
  wait_until 30 line_is $((lines + 1)) || fail "the cursor is on line $(cursor_line), not at the end"
  before=$(resident_kb)
  slowest=0
  for i in $(seq 1 "$seconds"); do
    echo "2026-12-08 10:01:00 service[42]: nouvelle ligne $i" >>"$log"
    started=$(date +%s%N)
    wait_until 5 line_is $((lines + i + 1)) || fail "line $i not shown, the cursor is on line $(cursor_line)"
    took=$((($(date +%s%N) - started) / 1000000))
    [ "$took" -le "$slowest" ] || slowest=$took
    sleep 0.5
  done
  grown=$((($(resident_kb) - before) / 1024))
  echo "ok: $seconds lines shown as they came, the view at the end (slowest ${slowest} ms, status bar read included)"
  # AddressSanitizer holds freed memory back on purpose: no figure to judge.
  if ldd "$exe" | grep -q libasan; then
    echo "note: sanitizer build, resident memory +$grown MB not judged"
  else
    [ "$grown" -le 30 ] || fail "resident memory grew by $grown MB"
    echo "ok: resident memory +$grown MB"
  fi
  echo "2026-12-08 10:02:00 service[42]: une dernière" >>"$log"
  sleep 0.2
  xdotool key --clearmodifiers ctrl+Home
  wait_until 5 line_is 1 || fail "Ctrl+Home not answered after an append"
  echo "ok: Ctrl+Home answered after an append"
  exit 0
fi

run_in_xvfb "$0" "$exe"
