#!/usr/bin/python3
"""Draws the Tallowick application icon, a lit candle on a blue tile, as the
PNG files tallowick-<size>.png beside this script.

Only the standard library is used, so the images can be redrawn anywhere:
    /usr/bin/python3 src/ui/icons/draw_icons.py
Each pixel is the average of a grid of samples, which gives smooth edges at
every size without a drawing library.
"""

import math
import os
import struct
import zlib

SIZES = (16, 32, 48, 64, 128)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def hex_colour(text, alpha=1.0):
    return (int(text[0:2], 16) / 255, int(text[2:4], 16) / 255, int(text[4:6], 16) / 255, alpha)


def rounded_box(x0, y0, x1, y1, radius):
    def inside(x, y):
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius

    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def flame(cx, base_y, radius, tip_y):
    """A drop: a circle whose upper half narrows to a point at tip_y."""

    def inside(x, y):
        if y >= base_y:
            return (x - cx) ** 2 + (y - base_y) ** 2 <= radius * radius
        if y < tip_y:
            return False
        # Half width shrinks from the radius at the circle's middle to 0 at
        # the tip along a curve that bulges out a little, like a flame.
        t = (base_y - y) / (base_y - tip_y)
        return abs(x - cx) <= radius * math.cos(t * math.pi / 2) ** 0.8

    return inside


# Shapes from back to front: (test, colour or colour function of (x, y)).
TILE_TOP = hex_colour("2d6aa3")
TILE_BOTTOM = hex_colour("163a5e")
WAX_LIGHT = hex_colour("fbf1d6")
WAX_SHADE = hex_colour("dcc99a")

LAYERS = [
    (rounded_box(0.05, 0.05, 0.95, 0.95, 0.19), lambda x, y: mix(TILE_TOP, TILE_BOTTOM, y)),
    # A soft glow around the flame.
    (ellipse(0.5, 0.31, 0.25, 0.25), lambda x, y: (1.0, 0.85, 0.45, 0.16)),
    (ellipse(0.5, 0.31, 0.17, 0.17), lambda x, y: (1.0, 0.85, 0.45, 0.18)),
    # The holder under the candle.
    (rounded_box(0.22, 0.80, 0.78, 0.88, 0.04), lambda x, y: hex_colour("b9c6d3")),
    # The wax, lit from the left.
    (
        rounded_box(0.355, 0.47, 0.645, 0.84, 0.035),
        lambda x, y: mix(WAX_LIGHT, WAX_SHADE, max(0.0, min(1.0, (x - 0.42) / 0.22))),
    ),
    (ellipse(0.5, 0.475, 0.145, 0.03), lambda x, y: hex_colour("efe0b8")),
    # The wick and the flame.
    (rounded_box(0.488, 0.37, 0.512, 0.48, 0.01), lambda x, y: hex_colour("3a2614")),
    (flame(0.5, 0.33, 0.085, 0.09), lambda x, y: hex_colour("f39c1f")),
    (flame(0.5, 0.345, 0.05, 0.19), lambda x, y: hex_colour("ffe680")),
]


def over(dst, src):
    """Source-over compositing of straight-alpha colours."""
    sa = src[3]
    da = dst[3] * (1 - sa)
    a = sa + da
    if a == 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((src[i] * sa + dst[i] * da) / a for i in range(3)) + (a,)


def render(size, samples=8):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                y = (py + (sy + 0.5) / samples) / size
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    colour = (0.0, 0.0, 0.0, 0.0)
                    for test, paint in LAYERS:
                        if test(x, y):
                            colour = over(colour, paint(x, y))
                    # Accumulate premultiplied so edges do not darken.
                    for i in range(3):
                        acc[i] += colour[i] * colour[3]
                    acc[3] += colour[3]
            n = samples * samples
            alpha = acc[3] / n
            if alpha > 0:
                rgb = [acc[i] / acc[3] for i in range(3)]
            else:
                rgb = [0.0, 0.0, 0.0]
            row += bytes(round(max(0.0, min(1.0, c)) * 255) for c in rgb + [alpha])
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for size in SIZES:
        with open(os.path.join(here, "tallowick-%d.png" % size), "wb") as out:
            out.write(png(size, render(size)))


if __name__ == "__main__":
    main()
