#!/usr/bin/python3
"""Writes a 16x16, 32-bit icon file (one image) for the test programs' resource scripts."""
import struct
import sys

W = H = 16
pixels = b"".join(struct.pack("<BBBB", x * 16, y * 16, 128, 255) for y in range(H) for x in range(W))
mask = b"\0" * (4 * H)  # one bit a pixel, rows padded to 32 bits
bih = struct.pack("<IiiHHIIiiII", 40, W, 2 * H, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
image = bih + pixels + mask
header = struct.pack("<HHH", 0, 1, 1)
entry = struct.pack("<BBBBHHII", W, H, 0, 0, 1, 32, len(image), 6 + 16)
with open(sys.argv[1], "wb") as f:
    f.write(header + entry + image)
