#!/usr/bin/env python3
"""Draws the program's icon file, src/app/OrvaneAnalyzer.ico.

The icon is the window icon's artwork (src/wizard/artwork.cpp): a drive
platter in deep blue with a teal surface, an orange slice of used space and a
white hub. The 16 x 16 image is that icon pixel for pixel; the larger ones
(24, 32, 48, 256) draw the same shapes smoothly, with the platter's tracks of
the banner picture once there is room for them. The file is committed so that
every build, with any toolchain, embeds the same icon; run this script again
after changing the artwork:

    python3 tools/make_icon.py [OUTPUT.ico [PREVIEW_FOLDER]]

With a preview folder it also writes each size as a PNG to look at.
"""
import math
import os
import struct
import sys
import zlib

DEEP = (16, 52, 120)
TEAL = (40, 150, 190)
SLICE = (255, 160, 40)
HUB = (255, 255, 255)
TRACK = (230, 240, 250)
SIZES = (16, 24, 32, 48, 256)


def mix(a, b, t):
    return tuple(round(ca + (cb - ca) * t) for ca, cb in zip(a, b))


def colour_at(dx, dy, smooth):
    """The artwork at a point, in units of the 16-pixel icon from its centre;
    None outside the platter."""
    r = math.hypot(dx, dy)
    if r > 7.6:
        return None
    if r < 1.6:
        return HUB
    if r > 6.6:
        return DEEP
    angle = math.atan2(dy, dx)
    c = SLICE if -1.6 < angle < 0.4 else TEAL
    if smooth:
        # The banner's platter tracks, a soft shading towards the rim and a
        # dark ring around the hub: details the 16-pixel image has no room for.
        if int(r * 4.5) % 5 == 0 and r > 2.4:
            c = mix(c, TRACK, 0.35)
        c = mix(c, DEEP, max(0.0, (r - 4.0) / 2.6) * 0.25)
        if r < 2.1:
            c = mix(c, DEEP, 0.6)
    return c


def render(n):
    """Top-down rows of (r, g, b, a) pixels."""
    scale = 16.0 / n
    if n == 16:  # exactly the window icon: one sample at each pixel's centre
        return [[(*colour_at(x - 7.5, y - 7.5, False), 255)
                 if colour_at(x - 7.5, y - 7.5, False) else (0, 0, 0, 0)
                 for x in range(n)] for y in range(n)]
    steps = 4 if n < 64 else 3
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(steps):
                for sx in range(steps):
                    px = (x + (sx + 0.5) / steps) * scale - 8.0
                    py = (y + (sy + 0.5) / steps) * scale - 8.0
                    c = colour_at(px, py, n >= 32)
                    if c:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits:
                row.append((*(round(v / hits) for v in acc), round(255 * hits / steps ** 2)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    n = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    """A 32-bit icon image: header, bottom-up BGRA rows, then the AND mask."""
    n = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    stride = (n + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def ico(images):
    """images: (size, data) pairs; sizes of 256 are written as 0."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "src", "app", "OrvaneAnalyzer.ico")
    preview = sys.argv[2] if len(sys.argv) > 2 else None
    images = []
    for n in SIZES:
        rows = render(n)
        # Large images are stored compressed, as Windows expects from 256 up.
        images.append((n, png(rows) if n >= 256 else dib(rows)))
        if preview:
            os.makedirs(preview, exist_ok=True)
            with open(os.path.join(preview, "icon-%d.png" % n), "wb") as f:
                f.write(png(rows))
    with open(target, "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
