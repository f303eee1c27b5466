#!/usr/bin/env bash
# Builds and runs the benchmarks, writes bench/results.md and refreshes the
# performance table in the README: first the times, then the instructions of
# the in-process rows counted under callgrind, which a loaded machine does not
# move.
# Usage: scripts/bench.sh [--runs N] [--count | --no-count] [case ...]
#   --count     only the instruction counts; the times already there stay
#   --no-count  only the times; the counts already there stay
# Lines of bench/results.md between <!-- kept:begin --> and <!-- kept:end -->
# (figures measured on another version of the program) survive every run.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh" build
cd "$here"
command -v valgrind >/dev/null || {
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends valgrind >/dev/null
}
times=1 counts=1 args=()
for a in "$@"; do
  case "$a" in
    --count) times=0 ;;
    --no-count) counts=0 ;;
    *) args+=("$a") ;;
  esac
done
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
python3 - "$out" "$work" <<'PY'
import os, re, sys
out, work = sys.argv[1], sys.argv[2]
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
