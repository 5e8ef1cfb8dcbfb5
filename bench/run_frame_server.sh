#!/usr/bin/env bash
# Measures the frame server: grab and fetch of a 1920 x 1200 x 2-byte frame from qrb_server
# on the simulated board in 1 MiB chunks, and raw loopback TCP in the same run for reference.
# Everything runs in a private network namespace of its own in which the host link's subnet
# is local, so nothing leaves the machine. Needs root (or user namespaces).
# Usage: bench/run_frame_server.sh [build directory] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-20}
server=$PWD/$build/bin/qrb_server
bench=$PWD/$build/bin/frame_server_bench
loopback=$PWD/$build/bin/loopback_bench
sim=$PWD/$build/lib/libboardsim.so
plugin=$PWD/$build/lib/libcsitransport.so
# shellcheck source=bench/private_netns.sh
source bench/private_netns.sh
require_built "$build" "$server" "$bench" "$loopback" "$sim" "$plugin"
enter_private_netns "$0" "$build" "$rounds"

work=$(mktemp -d)
mkdir -p "$work/board" "$work/home/Plugins"
ln -s "$PWD/sensor_data" "$work/home/sensor_data"
ln -s "$plugin" "$work/home/Plugins/libcsitransport.so"
log=$work/server.log
trap 'kill -TERM $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$work"' EXIT
ZE_HOME=$work/home ZE_SIM_DIR=$work/board LD_PRELOAD=$sim ASAN_OPTIONS=verify_asan_link_order=0 \
    "$server" >"$log" 2>&1 &
pid=$!
wait_for_server "$log"

raw=$("$loopback" 5)
echo "$raw"
served=$("$bench" "$rounds") || { status=$?; cat "$log" >&2; exit $status; }
echo "$served"
raw_rate=$(sed -n 's/.*median \([0-9]*\) MB\/s.*/\1/p' <<<"$raw")
fetch_rate=$(sed -n 's/^fetch .*median \([0-9]*\) MB\/s.*/\1/p' <<<"$served")
awk -v f="$fetch_rate" -v r="$raw_rate" \
    'BEGIN { printf "fetch / raw loopback: %.0f%% (target 50%% or better)\n", 100 * f / r }'
