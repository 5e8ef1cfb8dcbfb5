#!/usr/bin/env bash
# Measures `zentro regs` over the board link: the whole command (open, identification on the
# desktop, the listing of every register with its bitfields, close) against `zentro get` of one
# register (the same open and close), for
# a 2,000-register sensor on the simulated board, against qrb_server on loopback in a private
# network namespace (nothing leaves the machine; needs root or user namespaces).
# Usage: bench/run_zentro_regs.sh [build directory] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
server=$PWD/$build/bin/qrb_server
bench=$PWD/$build/bin/remote_board_bench
zentro=$PWD/$build/bin/zentro
sim=$PWD/$build/lib/libboardsim.so
plugin=$PWD/$build/lib/libcsitransport.so
transport=$PWD/$build/lib/libqrbtransport.so
# shellcheck source=bench/private_netns.sh
source bench/private_netns.sh
require_built "$build" "$server" "$bench" "$zentro" "$sim" "$plugin" "$transport"
enter_private_netns "$0" "$build" "$rounds"

work=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || { kill -TERM "$pid"; wait "$pid" || true; }; rm -rf "$work"' EXIT

mkdir -p "$work/home/Plugins" "$work/board" "$work/desktop/sensor_data"
"$bench" sensor "$work/desktop/sensor_data/zx0300.sdat" --count 2000
ln -s "$work/desktop/sensor_data" "$work/home/sensor_data"
ln -s "$plugin" "$work/home/Plugins/libcsitransport.so"
echo "sensor_data = $work/desktop/sensor_data/zx0300.sdat" >"$work/board/board.conf"
ZE_HOME=$work/home ZE_SIM_DIR=$work/board LD_PRELOAD=$sim ASAN_OPTIONS=verify_asan_link_order=0 \
    "$server" >"$work/server.log" 2>&1 &
pid=$!
wait_for_server "$work/server.log"

run() {
    ZE_HOME=$work/desktop ZE_PLUGIN_DIR=$(dirname "$transport") "$zentro" --board 127.0.0.1 "$@"
}
count=$(run --json regs | python3 -c 'import json,sys; print(json.load(sys.stdin)["count"])')
for round in $(seq "$rounds"); do
    start=$(date +%s%N)
    run regs >/dev/null
    whole=$((($(date +%s%N) - start) / 1000000))
    start=$(date +%s%N)
    run get AE_CTRL_0 >/dev/null
    single=$((($(date +%s%N) - start) / 1000000))
    echo "round $round: zentro regs of $count registers: ${whole} ms in all;" \
        "zentro get of one register: ${single} ms; the listing beyond one read: $((whole - single)) ms"
done
