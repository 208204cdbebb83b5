#!/usr/bin/python3
"""Writes the sources of a tiny PE32 reader stand-in: a program, a 32x32 icon and a version
block, the resources a reader template carries."""
import os
import struct
import sys

out = sys.argv[1]
os.makedirs(out, exist_ok=True)

with open(os.path.join(out, "main.c"), "w") as f:
    f.write("int main(void) { return 0; }\n")

# One 32x32 image at 24 bits per pixel: header, pixels, AND mask (3240 bytes).
w = h = 32
header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, 0, 0, 0, 0, 0)
pixels = b"".join(bytes([(x * 8) & 0xFF, (y * 8) & 0xFF, 0x80]) for y in range(h) for x in range(w))
mask = bytes(4 * h)
image = header + pixels + mask
assert len(image) == 3240
icondir = struct.pack("<HHH", 0, 1, 1)
entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 24, len(image), 6 + 16)
with open(os.path.join(out, "fixture.ico"), "wb") as f:
    f.write(icondir + entry + image)

with open(os.path.join(out, "fixture.rc"), "w") as f:
    f.write("""1 ICON "fixture.ico"
LANGUAGE 4, 2
1 VERSIONINFO
 FILEVERSION 1,0,0,0
 PRODUCTVERSION 1,0,0,0
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "080404b0"
    BEGIN
      VALUE "FileDescription", "fixture"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x804, 1200
  END
END
""")
