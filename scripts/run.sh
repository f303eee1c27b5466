#!/usr/bin/env bash
# Builds the program alone (installing what is missing; the tests and the
# bench are left to scripts/test.sh) and starts it, optionally on a file.
# Usage: scripts/run.sh [file]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh" build feuillon
exe="$here/build/feuillon"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe" "$@"
fi
if command -v xvfb-run >/dev/null; then
  echo "Pas d'écran graphique : Feuillon démarre dans un serveur X virtuel (Xvfb)." >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$exe" "$@"
fi
echo "Pas d'écran graphique (DISPLAY et WAYLAND_DISPLAY sont vides) : impossible d'afficher Feuillon." >&2
exit 1
