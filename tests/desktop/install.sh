#!/bin/sh
# Installs the build into a temporary root and checks that every file of the
# desktop integration lands where the desktop entry and the metainfo say.
# Usage: install.sh CMAKE BUILD_DIR APP_ID ICON_SIZE...
set -eu
cmake=$1 build=$2 id=$3
shift 3
sizes=$*

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT INT TERM
DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$root/install.log" 2>&1 || {
  cat "$root/install.log"; echo "FAIL: cmake --install"; exit 1; }

failed=0
expect() { # expect FILE: the file must exist and not be empty
  if [ -s "$root/usr/$1" ]; then echo "ok   /usr/$1"; else echo "FAIL /usr/$1 is missing"; failed=1; fi
}
expect bin/feuillon
[ -x "$root/usr/bin/feuillon" ] || { echo "FAIL /usr/bin/feuillon is not executable"; failed=1; }
expect "share/applications/$id.desktop"
expect "share/metainfo/$id.metainfo.xml"
for s in $sizes; do expect "share/icons/hicolor/${s}x$s/apps/$id.png"; done
expect "share/icons/hicolor/scalable/apps/$id.svg"

# The names the files refer to each other by.
desktop="$root/usr/share/applications/$id.desktop"
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
check() { # check DESCRIPTION COMMAND...
  what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}
if [ -f "$desktop" ]; then
  check "the desktop entry starts the installed program" grep -qx 'Exec=feuillon %F' "$desktop"
  check "the desktop entry names the installed icon" grep -qx "Icon=$id" "$desktop"
fi
if [ -f "$metainfo" ]; then
  check "the metainfo launches the installed desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"
  check "the metainfo id matches the desktop entry" grep -q "<id>$id</id>" "$metainfo"
fi
for s in $sizes; do
  png="$root/usr/share/icons/hicolor/${s}x$s/apps/$id.png"
  [ -f "$png" ] || continue
  check "the ${s}px icon is ${s}x$s" sh -c "file '$png' | grep -q ' $s x $s,'"
done
exit $failed
