#!/usr/bin/env python3
"""Draws the wizard's banner for three display scales, truecolour, no alpha:
banner.png (161 x 312, 100 %), banner_150.png (242 x 468, 150 %) and
banner_200.png (322 x 624, 200 %), each the size of the banner's place in
the layout scaled as the toolkit scales it, so none is stretched.

A night-blue gradient with a stacked database drum and an orbit around it.
Plain Python (zlib only), supersampled for smooth edges.

    make_banner.py [DIR]    (default: the current folder)
"""
import math
import os
import struct
import sys
import zlib

W, H, S = 161, 312, 3  # size at 100 % and supersampling factor
SCALES = ((100, "banner.png"), (150, "banner_150.png"), (200, "banner_200.png"))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


TOP, BOTTOM = (12, 38, 78), (24, 104, 136)
DRUM_LIGHT, DRUM_DARK, RIM = (236, 244, 250), (150, 186, 212), (92, 132, 166)
ORBIT = (255, 196, 84)


def background(x, y):
    c = mix(TOP, BOTTOM, y / H)
    # faint diagonal bands
    band = 0.5 + 0.5 * math.sin((x + y * 0.6) / 9.0)
    return mix(c, (255, 255, 255), 0.035 * band)


CX, RX, RY = 80.5, 46.0, 13.0
SEGMENTS = [(118.0, 146.0), (150.0, 178.0), (182.0, 210.0)]


def in_ellipse(x, y, cy):
    return ((x - CX) / RX) ** 2 + ((y - cy) / RY) ** 2 <= 1.0


def drum(x, y):
    """Colour of the drum at (x, y), or None outside it."""
    if in_ellipse(x, y, SEGMENTS[0][0]):
        return mix(DRUM_LIGHT, (255, 255, 255), 0.4)  # the lid
    for top, bottom in SEGMENTS:
        if (abs(x - CX) <= RX and top <= y <= bottom) or in_ellipse(x, y, bottom):
            d = ((x - CX) / RX) ** 2 + ((y - bottom) / RY) ** 2
            if y >= bottom and 0.80 <= d <= 1.0:
                return RIM  # lower edge of the segment
            return mix(DRUM_LIGHT, DRUM_DARK, (abs(x - CX) / RX) ** 2.2)
    return None


def orbit(x, y):
    # a tilted ellipse around the drum, in front below and behind above
    a = math.radians(-14)
    dx, dy = x - CX, y - 166.0
    u = dx * math.cos(a) - dy * math.sin(a)
    v = dx * math.sin(a) + dy * math.cos(a)
    d = math.sqrt((u / 70.0) ** 2 + (v / 22.0) ** 2)
    return abs(d - 1.0) < 0.045, v > 0


def dots(x, y):
    for px, py, r in ((28, 40, 2.2), (130, 62, 1.6), (52, 86, 1.3), (118, 256, 1.8),
                      (36, 280, 1.4), (140, 22, 1.2), (96, 34, 1.0)):
        if (x - px) ** 2 + (y - py) ** 2 <= r * r:
            return True
    return False


def pixel(x, y):
    on_orbit, front = orbit(x, y)
    if on_orbit and front:
        return ORBIT
    c = drum(x, y)
    if c is not None:
        return c
    if on_orbit:
        return mix(ORBIT, background(x, y), 0.45)
    if dots(x, y):
        return (220, 236, 250)
    return background(x, y)


def scaled(size, percent):
    # rounded as the toolkit rounds a layout (MulDiv: half away from zero)
    return (size * percent * 2 + 100) // 200


def render(width, height):
    """The picture drawn at width x height; the drawing keeps its 100 % units."""
    sx, sy = width / W, height / H
    rows = []
    for j in range(height):
        row = bytearray([0])  # filter: none
        for i in range(width):
            acc = [0.0, 0.0, 0.0]
            for sj in range(S):
                for si in range(S):
                    c = pixel((i + (si + 0.5) / S) / sx, (j + (sj + 0.5) / S) / sy)
                    for k in range(3):
                        acc[k] += c[k]
            row += bytes(min(255, int(round(v / (S * S)))) for v in acc)
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def write_png(path, width, height):
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(render(width, height), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main(folder):
    for percent, name in SCALES:
        write_png(os.path.join(folder, name), scaled(W, percent), scaled(H, percent))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
