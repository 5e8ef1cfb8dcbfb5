#!/usr/bin/env bash
# Measures file transfer through the board server: upload and download of a 256 MiB file in
# 1 MiB chunks against qrb_server on the simulated board, raw loopback TCP in the same run
# for reference, and the server's peak resident memory. Everything runs in a private network
# namespace of its own, so nothing leaves the machine. Needs root (or user namespaces).
# The file goes to a temporary directory under $TMPDIR (else /tmp); the speed of plain 1 MiB
# writes to that file system is measured too, since every upload chunk is written to it.
# Usage: bench/run_file_transfer.sh [build directory] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-3}
bin=$PWD/$build/bin
server=$bin/qrb_server bench=$bin/file_transfer_bench loopback=$bin/loopback_bench
sim=$PWD/$build/lib/libboardsim.so
# shellcheck source=bench/private_netns.sh
source bench/private_netns.sh
require_built "$build" "$server" "$bench" "$loopback" "$sim"
enter_private_netns "$0" "$build" "$rounds"

work=$(mktemp -d)
for _ in 1 2; do
    disk=$(dd if=/dev/zero of="$work/dd.bin" bs=1M count=256 2>&1 >/dev/null | tail -1)
    rm -f "$work/dd.bin"
done
echo "plain 1 MiB writes of a new 256 MiB file on $(df -T "$work" | awk 'NR == 2 { print $2 }'): ${disk##*, }"
mkdir -p "$work/board" "$work/files"
log=$work/server.log
trap 'kill -TERM $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$work"' EXIT
(cd "$work/files" && exec env ZE_SIM_DIR="$work/board" LD_PRELOAD="$sim" \
    ASAN_OPTIONS=verify_asan_link_order=0 "$server") >"$log" 2>&1 &
pid=$!
wait_for_server "$log"
peak() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status"; }
idle=$(peak)

raw=$("$loopback" 5)
echo "$raw"
served=$("$bench" "$work/files/transfer.bin" "$rounds") || { status=$?; cat "$log" >&2; exit $status; }
echo "$served"
echo "server peak RSS: $((idle / 1024)) MiB after start-up, $(($(peak) / 1024)) MiB after the transfers"
raw_rate=$(sed -n 's/.*median \([0-9]*\) MB\/s.*/\1/p' <<<"$raw")
for kind in upload download; do
    rate=$(sed -n "s/^$kind .*median \([0-9]*\) MB\/s.*/\1/p" <<<"$served")
    awk -v k="$kind" -v f="$rate" -v r="$raw_rate" \
        'BEGIN { printf "%s / raw loopback: %.0f%% (target 50%% or better)\n", k, 100 * f / r }'
done
