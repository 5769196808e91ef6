#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   ./test.sh             build/ (optimised, with debug information)
#   ./test.sh --sanitize  build-sanitize/, with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

build_dir=build
config=()
case "${1:-}" in
    "") ;;
    --sanitize)
        build_dir=build-sanitize
        config=(-DCORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
        export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
        export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
        export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
        ;;
    *)
        echo "usage: $0 [--sanitize]" >&2
        exit 2
        ;;
esac

ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" "${CORVANE_TEST_PACKAGES[@]}"
cmake -S . -B "$build_dir" -G Ninja "${config[@]}"
cmake --build "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure --parallel 2 --timeout 300
