#!/usr/bin/env bash
# Builds and runs the benchmarks, writes bench/results.md and refreshes the
# performance table in the README.
# Usage: scripts/bench.sh [--runs N] [case ...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh" build
cd "$here"
out=bench/results.md
runner=()
platform=${QT_QPA_PLATFORM:-xcb}
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  runner=(xvfb-run -a -s "-screen 0 1280x800x24")
  platform=Xvfb
fi
"${runner[@]}" build/bench/feuillon_bench --markdown "$out.table" "$@"
qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo unknown)
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
{
  echo "Measured on $(date -u +%Y-%m-%d): $(nproc) cores ($cpu), $(free -g | awk '/Mem:/{print $2}') GiB,"
  echo "Debian $(cat /etc/debian_version), Qt $qt, platform $platform."
  echo
  cat "$out.table"
} > "$out"
rm -f "$out.table"
python3 - "$out" <<'PY'
import re, sys
table = open(sys.argv[1], encoding="utf-8").read().strip()
readme = open("README.md", encoding="utf-8").read()
begin, end = "<!-- bench:begin -->", "<!-- bench:end -->"
block = f"{begin}\n{table}\n{end}"
if begin in readme:
    readme = re.sub(re.escape(begin) + ".*?" + re.escape(end), lambda _: block, readme, flags=re.S)
else:
    readme += f"\n## Performance\n\nFrom `scripts/bench.sh` (median of several runs, min–max):\n\n{block}\n"
open("README.md", "w", encoding="utf-8").write(readme)
PY
echo "Résultats dans $out et dans README.md"
