#!/usr/bin/env bash
# Measures "ping" round trips to qrb_server on the simulated board. The server and the
# client run in a private network namespace of their own in which the host link's subnet is
# local, so nothing leaves the machine. Needs root (or user namespaces).
# The server runs on CPU 0 and the client first on the same CPU, then on CPU 1: across
# CPUs every round trip also waits for two wake-ups of an idle CPU, which on a virtual
# machine can cost more than the server's own work.
# Usage: bench/run_server_ping.sh [build directory] [server_ping_bench options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
server=$PWD/$build/bin/qrb_server
bench=$PWD/$build/bin/server_ping_bench
sim=$PWD/$build/lib/libboardsim.so
[ -x "$server" ] && [ -x "$bench" ] && [ -f "$sim" ] ||
    { echo "build qrb_server, server_ping_bench and boardsim in $build first" >&2; exit 2; }

# shellcheck source=bench/private_netns.sh
source bench/private_netns.sh
enter_private_netns "$0" "$build" "$@"

board=$(mktemp -d)
log=$board/server.log
trap 'kill -TERM $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$board"' EXIT
ZE_SIM_DIR=$board LD_PRELOAD=$sim ASAN_OPTIONS=verify_asan_link_order=0 \
    taskset -c 0 "$server" >"$log" 2>&1 &
pid=$!
wait_for_server "$log"
cpus=(0)
[ "$(nproc)" -gt 1 ] && cpus+=(1)
for cpu in "${cpus[@]}"; do
    echo "== server on CPU 0, client on CPU $cpu"
    taskset -c "$cpu" "$bench" "$@" ||
        { status=$?; echo "server output:" >&2; cat "$log" >&2; exit $status; }
done
