#!/usr/bin/env bash
# Runs the register-database benchmark: reading a generated file of 20,000 registers with
# 4 bitfields each, then looking up every register and bitfield. Use a Release build.
# Usage: bench/run_register_database.sh [build directory] [benchmark options...]
#        (default build directory: build; options: --registers N --repetitions N --keep FILE)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/register_database_bench
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target register_database_bench)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
"$bench" "$@"
