#!/usr/bin/env bash
# Runs the XML sensor-data benchmark: reading a generated file of 20,000 registers with 4
# bitfields each in its XML form, and the same database in its text form for comparison.
# Use a Release build.
# Usage: bench/run_xml_sensor_data.sh [build directory] [benchmark options...]
#        (default build directory: build; options: --registers N --repetitions N --keep DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/xml_sensor_data_bench
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target xml_sensor_data_bench)" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
"$bench" "$@"
