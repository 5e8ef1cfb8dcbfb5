# Shared by the tests that run the system's tools on a fresh simulated board (sourced).
# Sets library (the simulator, from the first argument) and ZE_SIM_DIR (a new board directory,
# removed at exit together with whatever cleanup_extra names), and counts failures.

# require_tools PACKAGE TOOL...: exits with 77 (skipped) when a tool is missing.
require_tools() {
    package=$1
    shift
    for tool; do
        command -v "$tool" >/dev/null && continue
        echo "$tool is not installed (Debian package $package)" >&2
        exit 77
    done
}

start_board() {
    library=$(readlink -f "$1")
    ZE_SIM_DIR=$(mktemp -d "${TMPDIR:-/tmp}/board.XXXXXX")
    export ZE_SIM_DIR
    trap 'cleanup_extra; rm -rf "$ZE_SIM_DIR"' EXIT
    failures=0
}
cleanup_extra() { :; }

# Every tool run is bounded, so that a hang fails the test instead of stalling it.
sim() { LD_PRELOAD="$library" timeout 120 "$@"; }
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"; }

# finish WHAT: reports and exits with the tests' status.
finish() {
    [ "$failures" -eq 0 ] && echo "$1 checks passed"
    exit "$([ "$failures" -eq 0 ] && echo 0 || echo 1)"
}
