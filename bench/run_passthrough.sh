#!/usr/bin/env bash
# Runs the pass-through benchmark without and with the simulated board preloaded.
# Usage: bench/run_passthrough.sh [build directory]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench=$build/bin/passthrough_bench
sim=$PWD/$build/lib/libboardsim.so
[ -x "$bench" ] && [ -f "$sim" ] || { echo "build $bench and $sim first" >&2; exit 2; }

options=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true
         --benchmark_min_time=0.2)
echo "== without the simulated board"
"$bench" "${options[@]}"
echo "== with libboardsim.so preloaded"
ZE_SIM_DIR=$(mktemp -d)
trap 'rm -rf "$ZE_SIM_DIR"' EXIT
ZE_SIM_DIR=$ZE_SIM_DIR LD_PRELOAD=$sim "$bench" "${options[@]}"
