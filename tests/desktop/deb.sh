#!/bin/sh
# Builds the Debian package and unpacks it into a temporary root: the files
# must be where the desktop entry and the metainfo say, and the package must
# depend on the Qt libraries the program links and recommend Qt's Wayland plugin.
# Usage: deb.sh BUILD_DIR APP_ID
set -eu
build=$1 id=$2
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool n'est pas installé (paquet dpkg-dev)."; exit 77; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$out"/feuillon_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { ls "$out"; echo "FAIL: no feuillon_<version>_amd64.deb"; exit 1; }
echo "ok   $(basename "$deb")"
dpkg-deb -x "$deb" "$out/root"
failed=0
for f in usr/bin/feuillon "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
         "usr/share/icons/hicolor/48x48/apps/$id.png" "usr/share/icons/hicolor/scalable/apps/$id.svg"; do
  if [ -s "$out/root/$f" ]; then echo "ok   /$f"; else echo "FAIL /$f is missing"; failed=1; fi
done
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$out/root/usr/share/applications/$id.desktop")
[ -x "$out/root/usr/bin/$exec_name" ] && echo "ok   Exec=$exec_name is /usr/bin/$exec_name" || { echo "FAIL Exec=$exec_name is not installed"; failed=1; }
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
case $depends in *libqt6widgets6*) echo "ok   depends on libqt6widgets6" ;; *) echo "FAIL no dependency on libqt6widgets6"; failed=1 ;; esac
recommends=$(dpkg-deb -f "$deb" Recommends)
case $recommends in *qt6-wayland*) echo "ok   recommends qt6-wayland" ;; *) echo "FAIL Recommends: '$recommends' lacks qt6-wayland"; failed=1 ;; esac
exit $failed
