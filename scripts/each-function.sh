#!/usr/bin/env bash
# Runs each test function, then each data row, of every test binary alone,
# with the environment CTest gives the tests. A test that needs another one
# to have run first, or that crashes when its table is cut short, fails here
# while the whole binary passes. Not run in CI: it starts each binary
# hundreds of times.
# Usage: scripts/each-function.sh [build folder, default build] [test ...]
# Without test names: every test labelled unit, except tst_load, whose cases
# take minutes each (name it to include it).
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)" || exit 1
shift $(($# > 0 ? 1 : 0))
export QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME= LC_ALL=C.UTF-8
export QTEST_FUNCTION_TIMEOUT=60000

tests=("$@")
if [ "${#tests[@]}" -eq 0 ]; then
    mapfile -t tests < <(cd "$build" && ctest -N -L '^unit$' |
        sed -n 's/^ *Test *#[0-9]*: *\([^ ]*\).*/\1/p' | grep -vx tst_load)
fi
if [ "${#tests[@]}" -eq 0 ]; then
    echo "no test found in $build (build first)" >&2
    exit 1
fi

runs=0
failed=0
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# One run of a binary with one argument (a function, or function:row), from
# the folder CTest runs it in.
run() {
    local binary="$1" what="$2" status
    runs=$((runs + 1))
    (cd "$build/tests" && timeout 600 "./$binary" "$what") >"$log" 2>&1
    status=$?
    [ "$status" -eq 0 ] && return
    failed=$((failed + 1))
    echo "FAILED ($status): $binary \"$what\""
    grep -E "^(FAIL!|QFATAL)|Received signal|Loc:" "$log" | head -5 | sed 's/^/    /'
}

for t in "${tests[@]}"; do
    binary="$build/tests/$t"
    [ -x "$binary" ] || { echo "missing: $binary" >&2; failed=$((failed + 1)); continue; }
    while IFS= read -r function; do
        run "$t" "${function%()}"
    done < <(cd "$build/tests" && "./$t" -functions)
    # Lines "binary function row"; a function without rows has no third part.
    while IFS= read -r line; do
        rest="${line#"$t "}"
        function="${rest%% *}"
        [ "$rest" = "$function" ] && continue
        run "$t" "$function:${rest#"$function "}"
    done < <(cd "$build/tests" && "./$t" -datatags)
    echo "$t: done" >&2
done
echo "$runs runs, $failed failed"
[ "$failed" -eq 0 ]
