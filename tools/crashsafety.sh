#!/bin/sh
# Kills a program that saves and removes memes and copypastas with SIGKILL at random moments until
# it has begun the given number of operations (default 1000), checking the bunker and the copypasta
# file after every kill, and prints the figures: operations, kills, damaged, lost and revived memes
# and copypastas.
#
#   sh tools/crashsafety.sh [operations]
#
# Builds into ./build, or into JESTCRATE_BUILD_DIR when set.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
operations=${1:-1000}
build=${JESTCRATE_BUILD_DIR:-$root/build}

sh "$root/tools/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tst_crashsafety

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
JESTCRATE_CRASH_OPERATIONS=$operations sh "$root/tests/support/isolated.sh" \
    "$build/tests/tst_crashsafety" >"$log" 2>&1 || status=$?
grep -E "crash safety|^FAIL|^   Loc|^Totals" "$log" | sed 's/^QINFO  : TestCrashSafety::[^ ]* //'
exit "$status"
