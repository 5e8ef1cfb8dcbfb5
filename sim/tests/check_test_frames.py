#!/usr/bin/env python3
"""Checks a file of captured frames against the simulated sensor's test pattern.

Usage: check_test_frames.py FILE WIDTH HEIGHT DEPTH COUNT
Sample (x, y) of frame n is (x + 2y + n) mod 2^DEPTH, the first four samples of row 0 hold
the frame number's bytes (least significant first); samples of more than 8 bits are 16-bit
little-endian words with the sample in the upper bits (v << (16 - DEPTH)), as the board's
capture unit stores them, and rows are not padded. Each frame is checked against the number it carries;
the numbers must rise (a capture that falls behind loses frames, never reorders them).
"""
import sys

COUNTER_SAMPLES = 4


def alignment(depth):
    return 0 if depth in (8, 16) else 16 - depth


def expected_frame(width, height, depth, number):
    size = 1 if depth == 8 else 2
    out = bytearray(width * height * size)
    mask = (1 << depth) - 1
    for y in range(height):
        for x in range(width):
            value = (x + 2 * y + number) & mask
            if y == 0 and x < COUNTER_SAMPLES:
                value = (number >> (8 * x)) & 0xFF
            at = (y * width + x) * size
            out[at:at + size] = (value << alignment(depth)).to_bytes(size, "little")
    return bytes(out)


def frame_number(frame, depth):
    size = 1 if depth == 8 else 2
    sample = lambda i: int.from_bytes(frame[i * size:(i + 1) * size], "little") >> alignment(depth)
    return sum((sample(i) & 0xFF) << (8 * i) for i in range(COUNTER_SAMPLES))


def main(argv):
    if len(argv) != 6:
        print(__doc__, file=sys.stderr)
        return 2
    path = argv[1]
    width, height, depth, count = (int(a) for a in argv[2:6])
    with open(path, "rb") as f:
        data = f.read()
    frame_size = width * height * (1 if depth == 8 else 2)
    if len(data) != frame_size * count:
        print(f"{path}: {len(data)} bytes, expected {count} frames of {frame_size}", file=sys.stderr)
        return 1
    previous = -1
    for i in range(count):
        got = data[i * frame_size:(i + 1) * frame_size]
        number = frame_number(got, depth)
        if number <= previous:
            print(f"{path}: frame {i} is number {number}, after {previous}", file=sys.stderr)
            return 1
        previous = number
        want = expected_frame(width, height, depth, number)
        if got != want:
            at = next(n for n in range(frame_size) if got[n] != want[n])
            print(f"{path}: frame {i} differs at byte {at}: {got[at]:#04x}, expected {want[at]:#04x}",
                  file=sys.stderr)
            return 1
    print(f"{count} frames match the test pattern")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
