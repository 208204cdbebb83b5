#!/usr/bin/python3
"""Writes the reader's own icon: a 32x32, 24-bit picture of an open book.

Outputs (into the folder given as the only argument):
  icon30001.bin  the RT_ICON image data (BITMAPINFOHEADER, XOR bitmap, AND mask: 3240 bytes)
  group1.bin     the RT_GROUP_ICON directory naming that image by id 30001
  folio.ico      the same picture as a stand-alone .ico file
"""
import struct
import sys
from pathlib import Path

SIZE = 32
ICON_ID = 30001

BACKGROUND = (0x2E, 0x5E, 0x8C)  # blue desk, as (R, G, B)
PAGE = (0xFA, 0xF6, 0xE8)
LINE = (0x7A, 0x7A, 0x86)
SPINE = (0x8C, 0x3A, 0x22)
COVER = (0xB0, 0x4A, 0x2A)


def pixel(x, y):
    """Colour at (x, y), y counted from the top."""
    if 4 <= y <= 27 and 2 <= x <= 29:
        if 15 <= x <= 16:
            return SPINE
        if y >= 26 or x <= 2 or x >= 29:
            return COVER
        # text lines on both pages, leaving margins around the spine
        left = 5 <= x <= 12
        right = 19 <= x <= 26
        if (left or right) and 8 <= y <= 23 and y % 3 == 2:
            return LINE
        return PAGE
    return BACKGROUND


def image_data():
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            xor += bytes((b, g, r))
    and_mask = bytes(SIZE * 4)  # every pixel opaque
    data = header + bytes(xor) + and_mask
    assert len(data) == 40 + SIZE * SIZE * 3 + SIZE * 4
    return data


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    data = image_data()
    (out / "icon30001.bin").write_bytes(data)
    group = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHIH", SIZE, SIZE, 0, 0, 1, 24, len(data), ICON_ID
    )
    (out / "group1.bin").write_bytes(group)
    ico = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(data), 6 + 16
    )
    (out / "folio.ico").write_bytes(ico + data)


if __name__ == "__main__":
    main()
