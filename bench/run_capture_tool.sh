#!/usr/bin/env bash
# Runs v4l_capture on a fresh simulated board for N full-size frames (1920 x 1200, 12-bit) into
# a raw file and prints the frame rate kept and any gap in the frames' numbers.
# Usage: bench/run_capture_tool.sh [build directory] [frames] [I/O option: -m, -r or -u]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(readlink -f "${1:-build}")
frames=${2:-100}
io=${3:--m}
tool=$build/bin/v4l_capture
library=$build/lib/libboardsim.so
[ -x "$tool" ] && [ -f "$library" ] ||
    { echo "build v4l_capture and boardsim first (cmake --build $build --target v4l_capture boardsim)" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/capture_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/board"
ZE_SIM_DIR=$work/board sim/run_on_board.sh "$library" "$tool" "$io" -c "$frames" \
    -o "$work/frames.raw" >"$work/out.txt" 2>"$work/err.txt"
python3 - "$work/frames.raw" "$work/out.txt" "$frames" <<'PY'
import struct, sys
raw, out, frames = sys.argv[1], sys.argv[2], int(sys.argv[3])
frame_bytes = 1920 * 1200 * 2
data = open(raw, 'rb').read()
numbers = [sum(((struct.unpack_from('<H', data, k * frame_bytes + 2 * i)[0] >> 4) & 0xFF) << (8 * i)
               for i in range(4)) for k in range(len(data) // frame_bytes)]
gaps = sum(1 for a, b in zip(numbers, numbers[1:]) if b != a + 1)
laps = [int(l.split(':')[1]) for l in open(out) if 'Time ellapced' in l][1:]
mean = sum(laps) / len(laps) if laps else 0
print(f"frames written      {len(numbers)} of {frames}")
print(f"frame numbers       {numbers[0]}..{numbers[-1]}, gaps {gaps}")
print(f"frame interval      mean {mean:.1f} ms, max {max(laps, default=0)} ms "
      f"({1000 / mean if mean else 0:.1f} frames per second)")
PY
