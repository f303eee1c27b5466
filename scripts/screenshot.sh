#!/usr/bin/env bash
# Takes the README screenshot: builds Feuillon, opens a small French text in
# it inside a virtual X server and writes docs/screenshot.png. Everything it
# starts (the program, the X server) is ended before it returns.
# Usage: scripts/screenshot.sh
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${1:-}" = --inside ]; then
  # Runs inside xvfb-run: $2 is the sample file, $3 the picture to write.
  sample=$2 picture=$3
  "$here/build/feuillon" "$sample" &
  pid=$!
  # Whatever happens below, the program does not outlive this script.
  trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Feuillon' | head -n 1)
  [ -n "$window" ] || { echo "screenshot: la fenêtre de Feuillon n'est pas apparue." >&2; exit 1; }
  # Lets the first paint finish before the picture is taken.
  sleep 1
  import -window "$window" -strip "png:$picture"
  # The document is untouched, so "Quitter" ends the program without a question.
  xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "screenshot: Feuillon ne s'est pas fermé avec Ctrl+Q, il est arrêté." >&2
  fi
  exit 0
fi

"$here/scripts/setup.sh" build

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
# A settings and runtime folder of its own: the user's chosen colours and
# fonts must not end up in the README.
mkdir -m 700 "$work/config" "$work/runtime"
sample="$work/Lettre à Camille.txt"
cat >"$sample" <<'TEXT'
Chère Camille,

Merci pour ta lettre et pour les photos du jardin. Les feuilles du tilleul
commencent à jaunir, et le potager nous a donné cette année plus de tomates
que nous ne pouvons en manger.

Je t'envoie la recette de la confiture de figues promise :
  - 1 kg de figues bien mûres ;
  - 600 g de sucre ;
  - le jus d'un citron ;
  - une gousse de vanille.

Faire cuire doucement pendant quarante-cinq minutes en remuant souvent,
puis mettre en pots encore chaud.

À très bientôt, je t'embrasse.
Louise
TEXT

mkdir -p "$here/docs"
cd "$work"
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORMTHEME='' LC_ALL=C.UTF-8 \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$here/scripts/screenshot.sh" --inside "$sample" "$work/screenshot.png"
mv "$work/screenshot.png" "$here/docs/screenshot.png"
echo "screenshot: docs/screenshot.png écrit ($(identify -format '%wx%h' "$here/docs/screenshot.png"))."
