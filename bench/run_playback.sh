#!/usr/bin/env bash
# Runs the playback benchmark: a recording of 1920 x 1200 two-byte frames (100 by default,
# 460 MB, written to /tmp and removed afterwards) delivered 1000 times with pacing off. Use
# a Release build. --jpeg plays a recording of JPEG images of 0.5 to 1.5 MB instead.
# Usage: bench/run_playback.sh [build directory] [--frames N] [--grabs N] [--dir DIR] [--jpeg]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/playback_bench
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target playback_bench)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
"$bench" "$@"
