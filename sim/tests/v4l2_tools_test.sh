#!/bin/sh
# The simulated capture node driven by the system's own V4L2 tools (v4l2-ctl, v4l2-compliance).
# Usage: v4l2_tools_test.sh path/to/libboardsim.so path/to/check_test_frames.py
set -u
. "$(dirname "$0")/tool_test_common.sh"
require_tools v4l-utils v4l2-ctl v4l2-compliance python3
start_board "$1"
checker=$(readlink -f "$2")
# A fast sensor keeps the streaming checks short.
echo "frame_rate = 120" >"$ZE_SIM_DIR/board.conf"

expect_line() { printf '%s\n' "$1" | grep -qF -- "$2" || fail "$3: no line '$2' in: $1"; }

# The node is identified through sysfs and described as a driver describes it.
all=$(sim v4l2-ctl -d /dev/video0 --all 2>&1) || fail "v4l2-ctl --all exited with $?: $all"
expect_line "$all" "Driver name      : csi-capture" "driver"
expect_line "$all" "Card type        : Camera link 0" "card"
expect_line "$all" "Width/Height      : 1920/1200" "frame size"
expect_line "$all" "Pixel Format      : 'BA12' (12-bit Bayer GRGR/BGBG)" "pixel format"
expect_line "$all" "Bytes per Line    : 3840" "stride"
expect_line "$all" "Video input : 0 (Camera: ok)" "input"
expect_line "$all" "Frames per second: 120.000 (120/1)" "frame rate"
expect_line "$all" "Priority: 2" "priority"
expect_line "$(sim v4l2-ctl -d /dev/video3 --info)" "Card type        : Camera link 3" "another node"
expect_line "$(sim v4l2-ctl --list-devices)" "Camera link 5 (platform:csi-capture.5):" "list of devices"
if sim v4l2-ctl -d /dev/video9 --all >/dev/null 2>&1; then fail "a node that does not exist opened"; fi

# Streaming into a file: frames of the test pattern, numbered from 0, for each depth.
stream() { # width height fourcc depth count
    rm -f "$ZE_SIM_DIR/frames.raw"
    sim v4l2-ctl -d /dev/video1 --set-fmt-video=width="$1",height="$2",pixelformat="$3" \
        --stream-mmap --stream-count="$5" --stream-to="$ZE_SIM_DIR/frames.raw" ||
        fail "v4l2-ctl streaming $3 exited with $?"
    python3 "$checker" "$ZE_SIM_DIR/frames.raw" "$1" "$2" "$4" "$5" >/dev/null ||
        fail "frames of $3 do not match the test pattern"
}
stream 1920 1200 BA12 12 10
stream 64 16 GRBG 8 3
stream 100 7 BA10 10 3
stream 32 4 GR16 16 3

# User-pointer buffers get the same frames.
rm -f "$ZE_SIM_DIR/frames.raw"
sim v4l2-ctl -d /dev/video2 --set-fmt-video=width=40,height=6,pixelformat=BA12 \
    --stream-user --stream-count=3 --stream-to="$ZE_SIM_DIR/frames.raw" ||
    fail "user-pointer streaming exited with $?"
python3 "$checker" "$ZE_SIM_DIR/frames.raw" 40 6 12 3 >/dev/null || fail "user-pointer frames"

# The compliance test passes with streaming: its summary reports no failures.
summary=$(sim v4l2-compliance -d /dev/video0 -s 2>&1 | grep '^Total for')
case "$summary" in
*", Failed: 0, "*) ;;
*) fail "v4l2-compliance: ${summary:-no summary}" ;;
esac

finish "v4l2 tool"
