#!/bin/bash
# The real program killed with SIGKILL at random moments while keys are typed
# into it, over documents of 1 KB to 10 MB, opened from a file or without a
# path (restored from a prepared journal). After each kill the next start
# must offer the text; restored and saved, it must be the document plus a
# prefix of what was typed, byte for byte. How much typing each kill lost is
# measured and printed as rows of the reliability table.
# FEUILLON_KILLS sets the number of kills (8 unless told; scripts/reliability.sh
# asks for 100); FEUILLON_KILL_SEED repeats a campaign.
# Usage: kills.sh FEUILLON_EXECUTABLE
set -u
exe=$(realpath "$1")
. "$(dirname "$0")/common.sh"
need_tools Xvfb xdotool xprop openbox

kills=${FEUILLON_KILLS:-8}
seed=${FEUILLON_KILL_SEED:-$$}
sizes=(1000 100000 1000000 10000000)
size_names=("1 KB" "100 KB" "1 MB" "10 MB")
# Sanitized code loads 10 MB too slowly for the test's time limit; 3 MB
# still goes into the editor slice by slice.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  sizes[3]=3000000
  size_names[3]="3 MB"
fi
marker='#'
# Typed one key at a time; words that never repeat, so a piece left out or
# doubled cannot pass for a shorter prefix.
typed=$(seq 1 2000 | sed 's/^/mot/' | tr '\n' ' ')

journal() { echo "$work/data/vrel/Feuillon/journal"; }
# The marker is typed at the end of the document: it shows at the end of an
# entry once the tab took it and the journal copied it, or at the end of the
# entry's log of edits ("#" and the record's line end).
marker_journaled() {
  local file
  for file in "$(journal)"/run-*/*.entry; do
    [ -f "$file" ] && [ "$(tail -c 1 "$file")" = "$marker" ] && return 0
  done
  for file in "$(journal)"/run-*/*.log; do
    [ -f "$file" ] && [ "$(tail -c 2 "$file")" = "$marker" ] && return 0
  done
  return 1
}

# Lines in French with accents, cut at a line end near this many bytes.
make_document() { # bytes, file
  LC_ALL=C awk -v n="$1" 'BEGIN { while (t < n) { l = sprintf("ligne %d : l’été, le cœur à 100 €\n", i++); printf "%s", l; t += length(l) } }' >"$2"
}

# A journal left by an ended run, holding a document without a path.
prepare_journal() { # text file
  local folder
  folder="$(journal)/run-prepared"
  mkdir -p "$folder"
  printf '{"feuillon-journal":1,"path":"","title":"Nouvelle Onglet","written":"2026-12-07T10:30:00.000","bytes":%d,"charset":0,"mark":false,"line-end":0}\n' \
    "$(stat -c %s "$1")" >"$folder/1.entry"
  cat "$1" >>"$folder/1.entry"
}

start() { # arguments...
  "$exe" "$@" &
  pid=$!
  main=$(timeout 60 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^Feuillon' 2>/dev/null | head -n 1)
  [ -n "$main" ] || fail "no Feuillon window appeared"
}

# Answers "Restaurer" (the default button) to the offer of this start.
restore() {
  local offer
  offer=$(timeout 60 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^Textes non enregistrés$' 2>/dev/null | head -n 1)
  [ -n "$offer" ] || fail "the start offered nothing"
  focus "$offer"
  xdotool key Return
  wait_until 60 eval "! shown 'Textes non enregistrés'" || fail "the offer stayed on screen"
  focus "$main"
}

end_program() {
  kill -KILL "$pid" 2>/dev/null
  wait_ended "$pid" || fail "SIGKILL did not end the program"
  wait "$pid" 2>/dev/null
}

# The tab may not take keys yet (a big file still loading): the marker is
# typed again until the journal shows it.
type_marker() {
  markers=0
  for try in 1 2 3 4 5 6 7 8 9 10; do
    xdotool key --clearmodifiers ctrl+End
    xdotool type --delay 0 "$marker"
    markers=$((markers + 1))
    wait_until 6 marker_journaled && return 0
  done
  fail "the marker never reached the journal"
}

# One key at a time, its time kept, then SIGKILL: right after the last key,
# or after a pause of 3 s.
type_then_kill() { # keys, pause
  local j
  stamps=()
  for ((j = 0; j < $1; j++)); do
    xdotool type --delay 0 "${typed:j:1}"
    stamps+=("$EPOCHREALTIME")
    sleep 0.08
  done
  [ "$2" = pause ] && sleep 3
  killed_at=$EPOCHREALTIME
  end_program
}

seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

if [ "${2:-}" = --inside ]; then
  work=$3
  trap 'kill -9 "${pid:-}" "${wm_pid:-}" 2>/dev/null; wait 2>/dev/null' EXIT
  start_window_manager
  [ "$kills" -gt 8 ] && echo "long campaign: $kills kills"
  echo "seed $seed (FEUILLON_KILL_SEED=$seed repeats this campaign)"
  RANDOM=$seed
  for s in "${!sizes[@]}"; do make_document "${sizes[s]}" "$work/document-$s.txt"; done
  # Per size and with (1) or without (0) a path.
  declare -A tried ok most_chars most_secs pauses pause_lost
  mismatches=0
  for ((k = 0; k < kills; k++)); do
    s=$((k / 2 % 4))
    with_path=$((k % 2 == 0))
    key="$s,$with_path"
    document="$work/document-$s.txt"
    size=$(stat -c %s "$document")
    rm -rf "$work/data/vrel"
    # Every third kill comes after a pause; the others while typing, at a
    # random point that may fall anywhere between two copies (10 s apart).
    if [ $((k % 3)) = 2 ]; then pause=pause keys=$((1 + RANDOM % 40)); else pause=no keys=$((1 + RANDOM % 150)); fi

    if [ "$with_path" = 1 ]; then
      # Just written: whether it is untouched when the restored text is
      # saved is told by its bytes, hashed by the run before.
      cp "$document" "$work/file.txt"
      start "$work/file.txt"
      focus "$main"
    else
      prepare_journal "$document"
      start
      restore
    fi
    type_marker
    type_then_kill "$keys" "$pause"

    start
    restore
    saved="$work/saved.txt"
    rm -f "$saved"
    xdotool key --clearmodifiers ctrl+s
    if [ "$with_path" = 1 ]; then
      saved="$work/file.txt"
      # Replaced by a rename: once it differs, it is whole.
      wait_until 60 eval "! cmp -s '$saved' '$document'" || fail "the restored text was not saved"
    else
      answer_save_dialog "$saved"
      wait_until 60 title_is "$main" "Feuillon | $saved" || fail "the restored text was not saved"
    fi
    end_program

    # The document, at least one marker, then a prefix of what was typed.
    tried[$key]=$((${tried[$key]:-0} + 1))
    rest=$(tail -c +$((size + 1)) "$saved")
    got_markers=${rest%%[!$marker]*}
    got=${rest:${#got_markers}}
    where="kill $((k + 1))/$kills: ${size_names[s]}, $([ "$with_path" = 1 ] && echo with || echo without) path"
    if ! cmp -s -n "$size" "$saved" "$document" || [ "${#got_markers}" -lt 1 ] ||
      [ "${#got_markers}" -gt "$markers" ] || [ "${typed:0:${#got}}" != "$got" ]; then
      mismatches=$((mismatches + 1))
      cp "$saved" "$work/mismatch-$k.txt"
      echo "FAIL: $where: the restored text is not the document and a prefix of the typing (end: '$(tail -c 80 "$saved")')"
      continue
    fi
    ok[$key]=$((${ok[$key]:-0} + 1))
    lost=$((keys - ${#got}))
    if [ "$pause" = pause ]; then
      pauses[$key]=$((${pauses[$key]:-0} + 1))
      pause_lost[$key]=$((${pause_lost[$key]:-0} + lost))
      echo "$where, after a 3 s pause: typed $keys, lost $lost"
    else
      secs=0.0
      [ "$lost" -gt 0 ] && secs=$(seconds_between "${stamps[${#got}]}" "$killed_at")
      echo "$where, while typing: typed $keys, lost $lost (typed from $secs s before the kill)"
      if [ "$lost" -gt "${most_chars[$key]:-0}" ]; then
        most_chars[$key]=$lost
        most_secs[$key]=$secs
      fi
    fi
  done

  for s in "${!sizes[@]}"; do
    for with_path in 1 0; do
      key="$s,$with_path"
      [ -n "${tried[$key]:-}" ] || continue
      echo "RELIABILITY: SIGKILL while typing (Xvfb), ${size_names[s]}, $([ "$with_path" = 1 ] && echo "with path" || echo "without path") | ${tried[$key]} | text recovered ${ok[$key]:-0}/${tried[$key]}, most typing lost ${most_secs[$key]:-0.0} s (${most_chars[$key]:-0} characters), after a 3 s pause: ${pause_lost[$key]:-0} lost in ${pauses[$key]:-0} kill(s)"
    done
  done
  [ "$mismatches" = 0 ] || fail "$mismatches restored text(s) were not the document and a prefix of the typing"
  exit 0
fi

run_in_xvfb "$0" "$exe"
