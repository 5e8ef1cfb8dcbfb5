#!/usr/bin/env bash
# Measures the desktop side of the board link: libqrbtransport against qrb_server on the
# simulated board, on loopback in a private network namespace of its own (nothing leaves the
# machine; needs root or user namespaces). Prints register reads by name one at a time, the
# listing of all registers of a 2,000-register sensor in contiguous block reads, and
# grab-and-fetch of 1920 x 1200 x 2-byte frames at the board's frame rate, and on a board fast
# enough not to limit it, for several fetch chunk sizes.
# Usage: bench/run_remote_board.sh [build directory] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
rounds=${2:-5}
server=$PWD/$build/bin/qrb_server
bench=$PWD/$build/bin/remote_board_bench
sim=$PWD/$build/lib/libboardsim.so
plugin=$PWD/$build/lib/libcsitransport.so
transport=$PWD/$build/lib/libqrbtransport.so
# shellcheck source=bench/private_netns.sh
source bench/private_netns.sh
require_built "$build" "$server" "$bench" "$sim" "$plugin" "$transport"
enter_private_netns "$0" "$build" "$rounds"
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "note: $build is a '$type' build; figures are meant for Release" >&2

work=$(mktemp -d)
pid=
stop_server() {
    if [ -n "$pid" ]; then
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        pid=
    fi
}
trap 'stop_server; rm -rf "$work"' EXIT

# start_server SENSOR_DATA_DIR [BOARD_CONF_LINE]: the server on a fresh board whose home
# holds SENSOR_DATA_DIR as its sensor data.
start_server() {
    local home=$work/home.$RANDOM board=$work/board.$RANDOM
    mkdir -p "$home/Plugins" "$board"
    ln -s "$1" "$home/sensor_data"
    ln -s "$plugin" "$home/Plugins/libcsitransport.so"
    [ $# -lt 2 ] || echo "$2" >"$board/board.conf"
    ZE_HOME=$home ZE_SIM_DIR=$board LD_PRELOAD=$sim ASAN_OPTIONS=verify_asan_link_order=0 \
        "$server" >"$work/server.log" 2>&1 &
    pid=$!
    wait_for_server "$work/server.log"
}

# The desktop: a library home of its own, the board on loopback.
mkdir -p "$work/desktop"
desktop() {
    ZE_HOME=$work/desktop ZE_BOARD=127.0.0.1 "$bench" "$@" --plugin "$transport" \
        --rounds "$rounds" || { status=$?; cat "$work/server.log" >&2; exit $status; }
}

mkdir -p "$work/large"
"$bench" sensor "$work/large/zx0300.sdat" --count 2000
start_server "$work/large" "sensor_data = $work/large/zx0300.sdat"
desktop registers "$work/large"
stop_server

# At the simulated board's own frame rate (30 frames/s), with the default chunk.
start_server "$PWD/sensor_data"
desktop frames "$PWD/sensor_data" --count 30
stop_server

# A board that is never the limit: what each fetch chunk size costs on the link.
start_server "$PWD/sensor_data" "frame_rate = 1000"
for chunk in 65536 262144 1048576 4194304 4608000; do
    ZE_BOARD_CHUNK=$chunk desktop frames "$PWD/sensor_data" --count 30
done
