#!/usr/bin/env bash
# Runs the identification benchmark: 300 candidate sensor-data files of 1,000 registers in
# one directory, the last of which matches the sensor on the fake bus. Use a Release build.
# Usage: bench/run_identification.sh [build directory] [benchmark options...]
#        (default build directory: build; options: --candidates N --registers N --repetitions N)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/identification_bench
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target identification_bench)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
"$bench" "$@"
