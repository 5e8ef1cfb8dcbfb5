#!/usr/bin/env bash
# Runs the preset benchmark: on a null camera over a generated file of 2,000 registers, a
# section of 10,000 register and bitfield writes by name (alternately), then sections of 1 MB
# and 2 MB of such lines, read and run whole. Use a Release build.
# Usage: bench/run_presets.sh [build directory] [benchmark options...]
#        (default build directory: build; options: --registers N --writes N --repetitions N)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/preset_bench
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target preset_bench)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
"$bench" "$@"
