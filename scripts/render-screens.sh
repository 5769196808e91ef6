#!/usr/bin/env bash
# Draws the updater's windows to PNG files on Qt's offscreen platform:
#   scripts/render-screens.sh [OUTDIR]     (default: build/screens)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screens}
cmake -S . -B build -G Ninja > /dev/null
cmake --build build --target corvane-screens
build/bin/corvane-screens "$out"
ls "$out"/*.png
