#!/bin/sh
# Runs a validator on a file; exit 77 (a skipped test for CTest) when the
# validator is not installed, so that a missing tool is not taken for a pass.
# Usage: validate.sh TOOL [ARGUMENTS...] FILE
tool=$1
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "SKIP: $tool n'est pas installé (paquets desktop-file-utils, appstream ; scripts/setup.sh les installe)."
  exit 77
fi
exec "$@"
