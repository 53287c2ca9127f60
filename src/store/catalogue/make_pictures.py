#!/usr/bin/env python3
"""Draws the profile pictures of the built-in assistants (standard library only).

Each picture is a coloured disc with a white glyph, 96x96 RGBA, anti-aliased by
4x4 supersampling. Run from this folder to regenerate pictures/*.png.
"""
import math
import struct
import zlib

SIZE = 96
SAMPLES = 4


def seg_dist(px, py, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((px - x1) * dx + (py - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (x1 + t * dx), py - (y1 + t * dy))


def disc(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) <= r


def ring(cx, cy, r, w):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) <= w / 2


def ellipse_ring(cx, cy, rx, ry, w):
    def inside(x, y):
        # distance approximated by scaling into the unit circle
        d = math.hypot((x - cx) / rx, (y - cy) / ry)
        return abs(d - 1.0) * min(rx, ry) <= w / 2
    return inside


def line(x1, y1, x2, y2, w):
    return lambda x, y: seg_dist(x, y, x1, y1, x2, y2) <= w / 2


def polyline(points, w):
    parts = [line(*points[i], *points[i + 1], w) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def rect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        qx = max(x0 + r - x, 0.0, x - (x1 - r))
        qy = max(y0 + r - y, 0.0, y - (y1 - r))
        return math.hypot(qx, qy) <= r if r > 0 else (x0 <= x <= x1 and y0 <= y <= y1)
    return inside


def triangle(a, b, c):
    def sign(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])

    def inside(x, y):
        p = (x, y)
        d1, d2, d3 = sign(p, a, b), sign(p, b, c), sign(p, c, a)
        neg = d1 < 0 or d2 < 0 or d3 < 0
        pos = d1 > 0 or d2 > 0 or d3 > 0
        return not (neg and pos)
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, *holes):
    return lambda x, y: shape(x, y) and not any(h(x, y) for h in holes)


GLYPHS = {
    # A speech bubble with three dots: the everyday assistant.
    "general": (
        (0x2F, 0x6F, 0xEB),
        minus(union(rect(0.24, 0.27, 0.76, 0.63, 0.09), triangle((0.33, 0.60), (0.47, 0.60), (0.31, 0.75))),
              disc(0.37, 0.45, 0.045), disc(0.50, 0.45, 0.045), disc(0.63, 0.45, 0.045)),
    ),
    # "</>": the programming helper.
    "code": (
        (0x1F, 0x9D, 0x6B),
        union(polyline([(0.36, 0.33), (0.22, 0.50), (0.36, 0.67)], 0.07),
              polyline([(0.64, 0.33), (0.78, 0.50), (0.64, 0.67)], 0.07),
              line(0.55, 0.28, 0.45, 0.72, 0.065)),
    ),
    # A pencil over a written line: the editor.
    "writing": (
        (0xC2, 0x4E, 0x2E),
        union(line(0.36, 0.62, 0.68, 0.30, 0.12),
              triangle((0.27, 0.72), (0.30, 0.58), (0.41, 0.69)),
              line(0.27, 0.78, 0.74, 0.78, 0.05)),
    ),
    # A globe: the translator.
    "translator": (
        (0x7A, 0x3F, 0xC4),
        union(ring(0.5, 0.5, 0.25, 0.055), ellipse_ring(0.5, 0.5, 0.11, 0.25, 0.05),
              line(0.25, 0.5, 0.75, 0.5, 0.05), line(0.30, 0.37, 0.70, 0.37, 0.04),
              line(0.30, 0.63, 0.70, 0.63, 0.04)),
    ),
    # A prompt ">_": the shell helper.
    "shell": (
        (0x33, 0x3A, 0x45),
        union(polyline([(0.27, 0.34), (0.43, 0.50), (0.27, 0.66)], 0.075),
              line(0.50, 0.66, 0.73, 0.66, 0.075)),
    ),
    # A light bulb: the tutor.
    "tutor": (
        (0xD9, 0x8E, 0x04),
        union(disc(0.5, 0.43, 0.17), rect(0.42, 0.55, 0.58, 0.66, 0.02),
              rect(0.43, 0.69, 0.57, 0.73, 0.02), rect(0.45, 0.76, 0.55, 0.79, 0.015)),
    ),
}


def render(colour, glyph):
    rows = []
    background = disc(0.5, 0.5, 0.5)
    for py in range(SIZE):
        row = bytearray([0])  # filter type: none
        for px in range(SIZE):
            cover = white = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / SIZE
                    y = (py + (sy + 0.5) / SAMPLES) / SIZE
                    if background(x, y):
                        cover += 1
                        if glyph(x, y):
                            white += 1
            n = SAMPLES * SAMPLES
            if cover == 0:
                row += bytes(4)
                continue
            w = white / cover
            rgb = [round(c * (1 - w) + 255 * w) for c in colour]
            row += bytes(rgb + [round(255 * cover / n)])
        rows.append(bytes(row))
    return b"".join(rows)


def png(raw):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


if __name__ == "__main__":
    for name, (colour, glyph) in GLYPHS.items():
        with open(f"pictures/{name}.png", "wb") as out:
            out.write(png(render(colour, glyph)))
