#!/usr/bin/env bash
# Runs the plug-in register benchmark on a fresh simulated board: the board camera is opened
# through libcsitransport and its sensor's registers are written by name, 100,000 times per
# round; prints writes per second. Use a Release build.
# Usage: bench/run_plugin_register.sh [build directory] [--writes N] [--repetitions N]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bench=$build/bin/plugin_register_bench
plugin=$build/lib/libcsitransport.so
sim=$build/lib/libboardsim.so
[ -x "$bench" ] && [ -f "$plugin" ] && [ -f "$sim" ] ||
    { echo "build plugin_register_bench, csitransport and boardsim in $build first" >&2; exit 2; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2
# A library home of its own, so that no board script runs; its messages are dropped.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
ZE_HOME=$home sim/run_on_board.sh "$sim" "$bench" --plugin "$PWD/$plugin" \
    --sensor-data "$PWD/sensor_data" "$@" 2>/dev/null
