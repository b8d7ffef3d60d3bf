#!/bin/sh
# Builds the libFuzzer harnesses with clang and runs each for the given number of seconds (default
# 30), then prints how many inputs each one tried and how many crashes it found.
#
#   sh fuzz/run.sh [seconds] [target...]
#
# New inputs go to build-fuzz/corpus/<target> (the committed seeds in fuzz/corpus/<target> are only
# read); a crashing input is kept in build-fuzz/crashes/<target>/ and makes the script fail.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
[ $# -gt 0 ] && shift
build="$root/build-fuzz"

sh "$root/tools/deps.sh" clang libclang-rt-14-dev

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"

targets="$*"
if [ -z "$targets" ]; then
    for harness in "$build"/fuzz_*; do
        [ -f "$harness" ] && [ -x "$harness" ] && targets="$targets ${harness##*/fuzz_}"
    done
fi

# A hang (10 s on one input) or an allocation beyond 2 GiB counts as a crash, like any sanitizer report.
failed=0
summary=""
for target in $targets; do
    corpus="$build/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/$target.log"
    mkdir -p "$corpus" "$crashes"
    # Inputs kept from earlier runs stay where they are; only this run's are counted.
    touch "$build/$target.started"
    echo "== $target: ${seconds} s"
    status=0
    (cd "$build" && ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" UBSAN_OPTIONS="print_stacktrace=1" \
        "./fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$corpus" "$root/fuzz/corpus/$target") >"$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    found=$(find "$crashes" -type f -newer "$build/$target.started" | wc -l)
    if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        failed=1
        grep -E "^(==[0-9]+==ERROR|SUMMARY|.*runtime error)" "$log" | head -n 5 || true
    fi
    summary="$summary$(printf '%-12s %6s s %12s executions %3s crashes' "$target" "$seconds" "${executions:-?}" "$found")
"
done
printf '\n%s' "$summary"
exit "$failed"
