#!/usr/bin/env bash
# Installs what is missing, builds Feuillon and runs every test; then builds
# the test suite again with AddressSanitizer and UndefinedBehaviorSanitizer
# (folder build-asan) and runs it there. FEUILLON_NO_SANITIZE=1 skips that.
# Usage: scripts/test.sh [ctest options]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh" build
cd "$here/build"
ctest --output-on-failure --timeout 600 "$@"

[ "${FEUILLON_NO_SANITIZE:-0}" = 1 ] && exit 0
echo "== Sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer) =="
cd "$here"
if [ ! -f build-asan/build.ninja ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFEUILLON_SANITIZE=ON >/dev/null
fi
cmake --build build-asan -- -j"$(nproc)" | { grep -v '^\[' || true; }
cd build-asan
# The desktop checks validate installed files and run no program code; the
# 100 MB load, slow and memory-hungry under the sanitizers, runs in the
# ordinary build above.
ctest --output-on-failure --timeout 600 -LE "desktop|load" "$@"
