#!/usr/bin/env bash
# Regenerates every raster icon from resources/icons/feuillon.svg: the hicolor
# PNGs installed on Linux and resources/logo.ico (window and Windows icon).
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
# Usage: scripts/make-icons.sh
set -euo pipefail
cd "$(dirname "$0")/.."

id=fr.vrel.Feuillon
svg=resources/icons/feuillon.svg
sizes=(16 32 48 64 128 256)

for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "make-icons: $tool est introuvable (paquets librsvg2-bin, imagemagick)." >&2; exit 1; }
done

pngs=()
for s in "${sizes[@]}"; do
  dir="resources/icons/hicolor/${s}x${s}/apps"
  mkdir -p "$dir"
  # rsvg renders the SVG far better than ImageMagick's own reader; -strip keeps
  # the files byte-identical from one run to the next (no dates).
  rsvg-convert -w "$s" -h "$s" "$svg" | convert png:- -strip "png32:$dir/$id.png"
  pngs+=("$dir/$id.png")
done

convert "${pngs[@]}" -strip resources/logo.ico
echo "make-icons: ${#pngs[@]} PNG et resources/logo.ico écrits."
