# Sourced by the benchmarks that run qrb_server: a private network namespace in which the
# host link's subnet is local, so nothing leaves the machine. Needs root (or user namespaces).

# enter_private_netns SCRIPT ARGS...: re-executes SCRIPT with ARGS in a new network namespace
# (and does not return), unless this is already that run; then makes the subnet local.
enter_private_netns() {
    if [ "${ZE_BENCH_NETNS:-}" != "$$" ]; then
        local outer
        outer=$(stat -Lc %i /proc/self/ns/net)
        exec unshare --net env ZE_BENCH_OUTER_NETNS="$outer" ZE_BENCH_NETNS=inner \
            bash -c 'export ZE_BENCH_NETNS=$$; exec bash "$0" "$@"' "$@"
    fi
    # Never configure addresses in the machine's own namespace.
    [ "$(stat -Lc %i /proc/self/ns/net)" != "$ZE_BENCH_OUTER_NETNS" ] ||
        { echo "not in a private network namespace" >&2; exit 1; }
    ip link set lo up
    ip addr add 192.168.55.1/24 dev lo
}

# wait_for_server LOG: waits up to ten seconds for the server writing LOG to listen.
wait_for_server() {
    for _ in $(seq 100); do
        grep -q "Frame server is listening" "$1" && return 0
        sleep 0.1
    done
    cat "$1" >&2
    exit 1
}

# require_built BUILD FILE...: ends the script unless every FILE of the build exists.
require_built() {
    local build=$1 file
    shift
    for file in "$@"; do
        [ -f "$file" ] || { echo "build $(basename "$file") in $build first" >&2; exit 2; }
    done
}
