#!/usr/bin/env bash
# Runs the register-access benchmark: on a null camera over a generated file of 20,000
# registers, one million whole-register reads by name with the register cache on and one
# hundred thousand bitfield writes by name; then the same on 2,000 registers, to show that
# the cost of one access does not grow with the file. Use a Release build.
# Usage: bench/run_register_access.sh [build directory] [benchmark options...]
#        (default build directory: build; options: --registers N --small N --reads N
#         --writes N --repetitions N)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/register_access_bench
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target register_access_bench)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
"$bench" "$@"
