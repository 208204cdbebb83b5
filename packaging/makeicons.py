#!/usr/bin/python3
"""Draws the desktop icons of the installed programs and of the Book image file type.

  makeicons.py OUTDIR

Writes OUTDIR/<size>x<size>/<name>.png for every size in SIZES and OUTDIR/scalable/<name>.svg,
for the names folioMake, folioPage, folioNet and application-x-folio-book. Every picture is
made of a few flat shapes on a 256-unit square, so the SVG and the PNGs come from the same
description; the PNGs are rasterised here with supersampling (no image library needed).
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZES = (16, 32, 48, 64, 128, 256)
UNITS = 256.0

DESK = (0x2E, 0x5E, 0x8C, 255)  # the reader icon's blue desk
PAGE = (0xFA, 0xF6, 0xE8, 255)
LINE = (0x7A, 0x7A, 0x86, 255)
SPINE = (0x8C, 0x3A, 0x22, 255)
COVER = (0xB0, 0x4A, 0x2A, 255)
PENCIL = (0xF2, 0xB1, 0x34, 255)
PENCIL_TIP = (0x3A, 0x2E, 0x2A, 255)
WOOD = (0xE8, 0xC8, 0x96, 255)
GLOBE = (0x3C, 0x9A, 0x5A, 255)
GLOBE_LINE = (0xE8, 0xF4, 0xEC, 255)
SHEET = (0xFF, 0xFF, 0xFF, 255)
SHEET_EDGE = (0x9A, 0x9A, 0xA6, 255)
FOLD = (0xD8, 0xD8, 0xE0, 255)


# ---- shapes: each can say whether a point lies inside and how it reads in SVG ----------------


class Rect:
    def __init__(self, x0, y0, x1, y1, colour, radius=0.0):
        self.x0, self.y0, self.x1, self.y1 = x0, y0, x1, y1
        self.colour, self.r = colour, radius

    def box(self):
        return (self.x0, self.y0, self.x1, self.y1)

    def inside(self, x, y):
        if not (self.x0 <= x < self.x1 and self.y0 <= y < self.y1):
            return False
        if self.r <= 0:
            return True
        # rounded corners: outside the corner circles is outside the shape
        cx = min(max(x, self.x0 + self.r), self.x1 - self.r)
        cy = min(max(y, self.y0 + self.r), self.y1 - self.r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= self.r**2

    def svg(self):
        r = f' rx="{self.r:g}"' if self.r else ""
        return (f'<rect x="{self.x0:g}" y="{self.y0:g}" width="{self.x1 - self.x0:g}" '
                f'height="{self.y1 - self.y0:g}"{r} fill="{hexcolour(self.colour)}"/>')


class Circle:
    def __init__(self, cx, cy, r, colour, width=0.0):
        """A disc, or with a width a ring of that stroke width centred on radius r."""
        self.cx, self.cy, self.r, self.colour, self.w = cx, cy, r, colour, width

    def box(self):
        e = self.r + self.w / 2
        return (self.cx - e, self.cy - e, self.cx + e, self.cy + e)

    def inside(self, x, y):
        d = math.hypot(x - self.cx, y - self.cy)
        if self.w:
            return abs(d - self.r) <= self.w / 2
        return d <= self.r

    def svg(self):
        if self.w:
            return (f'<circle cx="{self.cx:g}" cy="{self.cy:g}" r="{self.r:g}" fill="none" '
                    f'stroke="{hexcolour(self.colour)}" stroke-width="{self.w:g}"/>')
        return (f'<circle cx="{self.cx:g}" cy="{self.cy:g}" r="{self.r:g}" '
                f'fill="{hexcolour(self.colour)}"/>')


class Ellipse:
    """An elliptic ring: the globe's meridian."""

    def __init__(self, cx, cy, rx, ry, colour, width):
        self.cx, self.cy, self.rx, self.ry, self.colour, self.w = cx, cy, rx, ry, colour, width

    def box(self):
        ex, ey = self.rx + self.w, self.ry + self.w
        return (self.cx - ex, self.cy - ey, self.cx + ex, self.cy + ey)

    def inside(self, x, y):
        dx, dy = (x - self.cx) / self.rx, (y - self.cy) / self.ry
        d = math.hypot(dx, dy)
        # distance to the curve, roughly, in units: scaled by the radius along the direction
        radius = math.hypot(dx * self.rx, dy * self.ry) / d if d else min(self.rx, self.ry)
        return abs(d - 1) * radius <= self.w / 2

    def svg(self):
        return (f'<ellipse cx="{self.cx:g}" cy="{self.cy:g}" rx="{self.rx:g}" ry="{self.ry:g}" '
                f'fill="none" stroke="{hexcolour(self.colour)}" stroke-width="{self.w:g}"/>')


class Polygon:
    def __init__(self, points, colour):
        self.points, self.colour = points, colour

    def box(self):
        xs, ys = [p[0] for p in self.points], [p[1] for p in self.points]
        return (min(xs), min(ys), max(xs), max(ys))

    def inside(self, x, y):
        hit = False
        pts = self.points
        for i in range(len(pts)):
            (x0, y0), (x1, y1) = pts[i], pts[i - 1]
            if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
                hit = not hit
        return hit

    def svg(self):
        pts = " ".join(f"{x:g},{y:g}" for x, y in self.points)
        return f'<polygon points="{pts}" fill="{hexcolour(self.colour)}"/>'


def hexcolour(c):
    return "#%02x%02x%02x" % c[:3]


# ---- the pictures ----------------------------------------------------------------------------


def open_book(x0, y0, x1, y1):
    """An open book filling the box: two pages, the spine, the cover's edge, lines of text."""
    w, h = x1 - x0, y1 - y0
    mid = (x0 + x1) / 2
    edge = max(w / 28, 1)
    shapes = [
        Rect(x0, y0, x1, y1, COVER, radius=w / 40),
        Rect(x0 + edge, y0, x1 - edge, y1 - 2 * edge, PAGE),
        Rect(mid - w / 28, y0, mid + w / 28, y1, SPINE),
    ]
    for k in range(6):
        y = y0 + h * (0.18 + 0.12 * k)
        t = h / 28
        shapes.append(Rect(x0 + w * 0.11, y, mid - w * 0.09, y + t, LINE))
        shapes.append(Rect(mid + w * 0.09, y, x1 - w * 0.11, y + t, LINE))
    return shapes


def desk():
    return [Rect(8, 8, 248, 248, DESK, radius=36)]


def pencil():
    # a pencil lying from the lower right towards the upper left, across the book's corner
    def along(t, s):
        # t along the pencil's axis, s across it
        ax, ay = 226, 230  # the butt
        ux, uy = -math.cos(math.radians(45)), -math.sin(math.radians(45))
        return (ax + ux * t - uy * s, ay + uy * t + ux * s)

    body = Polygon([along(0, -13), along(92, -13), along(92, 13), along(0, 13)], PENCIL)
    wood = Polygon([along(92, -13), along(122, 0), along(92, 13)], WOOD)
    tip = Polygon([along(112, -4.3), along(122, 0), along(112, 4.3)], PENCIL_TIP)
    return [body, wood, tip]


def globe():
    cx, cy, r = 190, 190, 50
    return [
        Circle(cx, cy, r + 6, DESK),
        Circle(cx, cy, r, GLOBE),
        Ellipse(cx, cy, r * 0.45, r - 3, GLOBE_LINE, 7),
        Rect(cx - r + 3, cy - 3.5, cx + r - 3, cy + 3.5, GLOBE_LINE),
        Circle(cx, cy, r, GLOBE_LINE, width=7),
    ]


def pictures():
    book = open_book(30, 56, 226, 206)
    sheet = [
        Polygon([(40, 12), (176, 12), (224, 60), (224, 244), (40, 244)], SHEET_EDGE),
        Polygon([(48, 20), (172, 20), (216, 64), (216, 236), (48, 236)], SHEET),
        Polygon([(172, 20), (172, 64), (216, 64)], FOLD),
    ]
    return {
        "folioPage": desk() + book,
        "folioMake": desk() + book + pencil(),
        "folioNet": desk() + open_book(30, 40, 226, 190) + globe(),
        "application-x-folio-book": sheet + open_book(66, 100, 198, 200),
    }


# ---- output ----------------------------------------------------------------------------------


def svg(shapes):
    body = "\n  ".join(s.svg() for s in shapes)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
            f'viewBox="0 0 256 256">\n  {body}\n</svg>\n')


def raster(shapes, size):
    # Small icons need the finer sampling for their edges; the large ones have pixels to spare.
    samples = 4 if size <= 64 else 2
    scale = UNITS / size
    n = samples * samples
    rows = []
    for py in range(size):
        y_lo, y_hi = py * scale, (py + 1) * scale
        # the shapes reaching this row, topmost first
        here = [s for s in reversed(shapes) if s.box()[1] <= y_hi and s.box()[3] >= y_lo]
        row = bytearray()
        for px in range(size):
            x_lo, x_hi = px * scale, (px + 1) * scale
            near = [s for s in here if s.box()[0] <= x_hi and s.box()[2] >= x_lo]
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                y = (py + (sy + 0.5) / samples) * scale
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    for s in near:
                        if s.inside(x, y):
                            c = s.colour
                            acc[0] += c[0]
                            acc[1] += c[1]
                            acc[2] += c[2]
                            acc[3] += 1
                            break
            if acc[3]:
                row += bytes(round(acc[i] / acc[3]) for i in range(3))
            else:
                row += b"\0\0\0"
            row.append(round(acc[3] * 255 / n))
        rows.append(bytes(row))
    return rows


def png(rows, size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + r for r in rows)  # filter type 0 on every row
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write(path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    tmp = path.with_name(path.name + ".tmp")
    tmp.write_bytes(data)
    tmp.replace(path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: makeicons.py OUTDIR")
    out = Path(sys.argv[1])
    for name, shapes in pictures().items():
        write(out / "scalable" / f"{name}.svg", svg(shapes).encode())
        for size in SIZES:
            write(out / f"{size}x{size}" / f"{name}.png", png(raster(shapes, size), size))


if __name__ == "__main__":
    main()
