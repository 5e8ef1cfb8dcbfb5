#!/bin/sh
# Runs a program on a fresh simulated board: run_on_board.sh LIBBOARDSIM PROGRAM [ARGS...]
# ZE_SIM_DIR, when already set, names the board to use instead of a fresh one.
set -eu
if [ $# -lt 2 ]; then
    echo "usage: $0 path/to/libboardsim.so program [arguments...]" >&2
    exit 2
fi
library=$(readlink -f "$1")
shift
if [ -z "${ZE_SIM_DIR:-}" ]; then
    ZE_SIM_DIR=$(mktemp -d "${TMPDIR:-/tmp}/board.XXXXXX")
    trap 'rm -rf "$ZE_SIM_DIR"' EXIT
fi
export ZE_SIM_DIR
# Sanitized programs check that their runtime comes first; the simulator is not instrumented.
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$library" "$@"
