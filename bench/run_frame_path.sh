#!/usr/bin/env bash
# Runs the frame-path benchmark: a 1920 x 1200 frame of 16-bit samples in 4096-byte driver rows
# is cropped to its 3840-byte rows, shifted to 12 bits and copied out, as the board plug-in
# delivers a grab; prints GB/s of frame per second. Use a Release build.
# Usage: bench/run_frame_path.sh [build directory] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/frame_path_bench
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target frame_path_bench)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
"$bench" "$@"
