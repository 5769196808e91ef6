#!/usr/bin/env bash
# The updater's throughput next to the link's own limit, its CPU time, memory
# and idle cost, as one table (a few minutes). Not part of ./test.sh.
#   ./bench.sh [--repeat N] [--statements N] [--no-paced] [--big-file BYTES] [--idle-seconds N]
# Builds an optimised build of its own in build-bench/. The last line of the output is
#   ratios: upload=U pty=P jtag=J
# Figures move with the machine's load: run it on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"
# -O2 as the test build: at -O3 GCC 12 warns wrongly about string concatenation (-Werror).
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-bench --target corvane-updater corvane-cardsim corvane-tool corvane-bench

echo "== $(uptime)"
build-bench/bin/corvane-bench --bin build-bench/bin --examples examples "$@"
