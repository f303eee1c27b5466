#!/usr/bin/env bash
# Builds and runs the benchmarks, writes bench/results.md and refreshes the
# performance table in the README: first the times, then the instructions of
# the in-process rows counted under callgrind, which a loaded machine does not
# move.
# Usage: scripts/bench.sh [--runs N] [--count | --no-count] [--peers] [case ...]
#   case ...    only those cases; their rows and notes replace the same ones
#               in the tables, the other rows stay
#   --count     only the instruction counts; the times already there stay
#   --no-count  only the times; the counts already there stay
#   --peers     also Feuillon beside KWrite, each a new process on the same
#               file (installs Debian's kwrite package first; nothing else
#               needs it)
# Lines of bench/results.md between <!-- kept:begin --> and <!-- kept:end -->
# (figures measured on another version of the program) survive every run.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh" build
cd "$here"
install() { # package...
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
command -v valgrind >/dev/null || install valgrind
times=1 counts=1 args=() partial=0 peers=0
for a in "$@"; do
  case "$a" in
    --count) times=0 ;;
    --no-count) counts=0 ;;
    --peers) args+=(peers) partial=1 peers=1 ;;
    [a-z]*) args+=("$a") partial=1 ;;
    *) args+=("$a") ;;
  esac
done
if [ "$peers" = 1 ]; then
  command -v kwrite >/dev/null || install kwrite
fi
out=bench/results.md
runner=()
platform=${QT_QPA_PLATFORM:-xcb}
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  runner=(xvfb-run -a -s "-screen 0 1280x800x24")
  platform=Xvfb
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$times" = 1 ]; then
  "${runner[@]}" build/bench/feuillon_bench --markdown "$work/times.md" "${args[@]}"
fi
if [ "$counts" = 1 ]; then
  # Instrumented from the start of each timed piece of work to its frame.
  "${runner[@]}" env FEUILLON_BENCH_COUNT_FILE="$work/cg.out" \
    valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$work/cg.out" -q \
    build/bench/feuillon_bench --count --markdown "$work/counts.md" "${args[@]}"
fi
qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo unknown)
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
{
  echo "Measured on $(date -u +%Y-%m-%d): $(nproc) cores ($cpu), $(free -g | awk '/Mem:/{print $2}') GiB,"
  echo "Debian $(cat /etc/debian_version), Qt $qt, platform $platform."
} > "$work/header.md"
python3 - "$out" "$work" "$partial" <<'PY'
import os, re, sys
out, work, partial = sys.argv[1], sys.argv[2], sys.argv[3] == "1"
def read(name):
    path = os.path.join(work, name)
    return open(path, encoding="utf-8").read().strip() if os.path.exists(path) else None
def block(text, name):
    m = re.search(f"<!-- {name}:begin -->\n(.*?)\n<!-- {name}:end -->", text, re.S)
    return m.group(1) if m else None
old = open(out, encoding="utf-8").read() if os.path.exists(out) else ""
header = read("header.md")
times = read("times.md")
counts = read("counts.md")
def merged(new, previous):
    # Only some cases ran: their rows and notes take the place of the same
    # ones in the previous table, the others stay as they were measured.
    if not partial or new is None or not previous:
        return new
    def parts(text):
        rows = [l for l in text.splitlines() if l.startswith("| ") and not l.startswith("| Operation")]
        notes = [p.strip() for p in re.split(r"\n\s*\n", text) if p.strip() and not p.lstrip().startswith("|")]
        return rows, notes
    key = lambda line: line.split(" | ")[0]
    new_rows, new_notes = parts(new)
    fresh = {key(r): r for r in new_rows}
    lines, seen = [], set()
    for line in previous.splitlines():
        if line.startswith("| ") and key(line) in fresh:
            line = fresh[key(line)]
            seen.add(key(line))
        lines.append(line)
    table_end = max((i for i, l in enumerate(lines) if l.startswith("|")), default=len(lines) - 1)
    lines[table_end + 1:table_end + 1] = [r for r in new_rows if key(r) not in seen]
    text = "\n".join(lines)
    for note in new_notes:
        head = note.split(":")[0]
        same = [p for p in re.split(r"\n\s*\n", text) if p.strip().split(":")[0] == head and not p.lstrip().startswith("|")]
        text = text.replace(same[0].strip(), note) if same else text + "\n\n" + note
    return text
def stored(name):
    # A stored block from its table on: the header and text before it are
    # written anew.
    text = block(old, name) or ""
    start = text.find("\n|")
    return text[start + 1:] if start >= 0 else ""
times = merged(times, stored("times"))
counts = merged(counts, stored("counts"))
if times is None:
    times = block(old, "times") or ""
else:
    times = header + "\n\n" + times
if counts is None:
    counts = block(old, "counts") or ""
else:
    counts = (header + "\n\nInstructions of the same rows, counted under callgrind from the "
              "action to the end of its frame (one run; the search rows at 1 MB, the rest at "
              "the sizes above):\n\n" + counts)
kept = block(old, "kept")
parts = [f"<!-- times:begin -->\n{times}\n<!-- times:end -->",
         f"<!-- counts:begin -->\n{counts}\n<!-- counts:end -->"]
if kept is not None:
    parts.append(f"<!-- kept:begin -->\n{kept}\n<!-- kept:end -->")
table = "\n\n".join(parts)
open(out, "w", encoding="utf-8").write(table + "\n")
readme = open("README.md", encoding="utf-8").read()
begin, end = "<!-- bench:begin -->", "<!-- bench:end -->"
shown = re.sub(r"<!-- \w+:(begin|end) -->\n?", "", table).strip()
block_text = f"{begin}\n{shown}\n{end}"
if begin in readme:
    readme = re.sub(re.escape(begin) + ".*?" + re.escape(end), lambda _: block_text, readme, flags=re.S)
else:
    readme += f"\n## Performance\n\nFrom `scripts/bench.sh`:\n\n{block_text}\n"
open("README.md", "w", encoding="utf-8").write(readme)
PY
echo "Résultats dans $out et dans README.md"
