#!/usr/bin/env bash
# Installs what is missing, builds Feuillon and runs every test.
# Usage: scripts/test.sh [ctest options]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh" build
cd "$here/build"
ctest --output-on-failure --timeout 600 "$@"
