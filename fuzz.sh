#!/usr/bin/env bash
# Runs the libFuzzer targets of fuzz/ (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer; built in build-fuzz/).
#   ./fuzz.sh [SECONDS [TARGET...]]     SECONDS per target (default 60), every target by default
# Each target starts from its corpus in fuzz/corpus/TARGET; the inputs it finds
# that reach new code are kept in build-fuzz/corpus/TARGET for the next run. A
# crash, a leak, a hang or a broken property leaves its input in
# build-fuzz/findings/TARGET and makes the exit code 1; keep such an input in
# fuzz/corpus/TARGET once the fault is mended, and add a regression test.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS [TARGET...]]" >&2
    exit 2
fi
shift $(($# > 0 ? 1 : 0))

ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz -G Ninja > /dev/null
nice -n 10 cmake --build build-fuzz

if [ $# -gt 0 ]; then
    targets=("$@")
else
    read -r -a targets <<< "$(sed -n 's/^set(CORVANE_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/FuzzTargets.cmake)"
fi

# The script target checks for leaks after every input at a cost of about ten
# times its speed; the sanitizer test suite checks the session for leaks instead.
declare -A extra=([script_dispatch]=-detect_leaks=0)
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0

failed=0
printf '%-16s %12s %10s  %s\n' target executions "per second" result
for target in "${targets[@]}"; do
    binary=build-fuzz/bin/fuzz_$target
    if [ ! -x "$binary" ] || [ ! -d "fuzz/corpus/$target" ]; then
        echo "fuzz.sh: no target $target" >&2
        exit 2
    fi
    corpus=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    log=build-fuzz/fuzz-$target.log
    mkdir -p "$corpus" "$findings"
    status=0
    nice -n 10 "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
        -artifact_prefix="$findings/" ${extra[$target]:-} "$corpus" "fuzz/corpus/$target" > "$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    result=clean
    if [ "$status" -ne 0 ]; then
        result="FINDING (see $log and $findings/)"
        failed=1
    fi
    printf '%-16s %12s %10s  %s\n' "$target" "${executions:-?}" "${rate:-?}" "$result"
done
exit "$failed"
