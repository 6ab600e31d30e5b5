#!/usr/bin/env python3
"""Draws the window icon (Veltrano.ico) and the clock picture (ClockPicture.bmp).

Everything is computed from the shapes below with the standard library only,
so running it again gives the same bytes:

    python3 resources/make_pictures.py

Shapes are drawn by their signed distance: a pixel is covered by the part of
a one-pixel ramp across the edge, which smooths edges without supersampling.
"""

import math
import struct
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


NAVY = hex_rgb("1E2D4A")
RIM_LIGHT = hex_rgb("4A90E2")
RIM_DARK = hex_rgb("1C3F7A")
FACE_CENTRE = hex_rgb("FFFFFF")
FACE_EDGE = hex_rgb("E4ECF7")
MINUTE_MARK = hex_rgb("9AA8BA")
SECOND_RED = hex_rgb("D9342B")
SYNC_GREEN = hex_rgb("2E9E4F")
SYNC_BLUE = hex_rgb("2F74C0")


class Canvas:
    """Premultiplied RGBA in floats, row 0 at the top."""

    def __init__(self, width, height, background=None):
        self.w, self.h = width, height
        if background is None:
            self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]
        else:
            r, g, b = background
            self.px = [[r, g, b, 1.0] for _ in range(width * height)]

    def paint(self, dist, colour, box, alpha=1.0, ramp=1.0):
        """Covers the pixels where dist(x, y) < 0 with colour (a triple or a
        function of x, y), within box = (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = box
        for y in range(max(0, int(y0) - 1), min(self.h, int(math.ceil(y1)) + 1)):
            for x in range(max(0, int(x0) - 1), min(self.w, int(math.ceil(x1)) + 1)):
                px, py = x + 0.5, y + 0.5
                cover = min(1.0, max(0.0, 0.5 - dist(px, py) / ramp)) * alpha
                if cover <= 0.0:
                    continue
                c = colour(px, py) if callable(colour) else colour
                p = self.px[y * self.w + x]
                keep = 1.0 - cover
                p[0] = c[0] * cover + p[0] * keep
                p[1] = c[1] * cover + p[1] * keep
                p[2] = c[2] * cover + p[2] * keep
                p[3] = cover + p[3] * keep

    def rgba8(self, x, y):
        """Straight (not premultiplied) 8-bit RGBA."""
        r, g, b, a = self.px[y * self.w + x]
        if a <= 0.0:
            return 0, 0, 0, 0
        return tuple(int(round(min(1.0, v / a) * 255)) for v in (r, g, b)) + (int(round(a * 255)),)


# Signed distances; negative inside.

def disc(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def capsule(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def dist(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2

    return dist


def polygon(points):
    """A convex polygon, its points clockwise on the screen."""
    edges = []
    n = len(points)
    for i in range(n):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
        length = math.hypot(bx - ax, by - ay)
        edges.append((ax, ay, (by - ay) / length, -(bx - ax) / length))

    def dist(x, y):
        return max((x - ax) * nx + (y - ay) * ny for ax, ay, nx, ny in edges)

    return dist


def at(cx, cy, r, degrees):
    """The point r from the centre, degrees clockwise from twelve o'clock."""
    a = math.radians(degrees)
    return cx + r * math.sin(a), cy - r * math.cos(a)


def arc(cx, cy, r, width, start, end):
    """A stroke along the circle from start to end degrees, clockwise."""
    sweep = (end - start) % 360
    ends = [at(cx, cy, r, start), at(cx, cy, r, end)]

    def dist(x, y):
        angle = math.degrees(math.atan2(x - cx, -(y - cy))) % 360
        if (angle - start) % 360 <= sweep:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2

    return dist


def around(cx, cy, r):
    return (cx - r, cy - r, cx + r, cy + r)


def rim_colour(cx, cy, r):
    """Light at the top left, deep blue at the bottom right."""
    def colour(x, y):
        t = max(0.0, min(1.0, 0.5 + ((x - cx) + (y - cy)) / (4 * r)))
        return tuple(a + (b - a) * t for a, b in zip(RIM_LIGHT, RIM_DARK))
    return colour


def face_colour(cx, cy, r):
    def colour(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r) ** 2
        return tuple(a + (b - a) * t for a, b in zip(FACE_CENTRE, FACE_EDGE))
    return colour


def clock(canvas, cx, cy, radius, detail):
    """A wall clock at ten past ten. detail: 0 for 16 pixels, 1 for 32 and
    48, 2 for the large picture."""
    rim = max(1.6, radius * 0.16)
    if detail == 2:
        # A soft shadow below and to the right.
        canvas.paint(disc(cx + 1.5, cy + 2.5, radius), (0.1, 0.15, 0.25), around(cx + 2, cy + 3, radius + 4),
                     alpha=0.22, ramp=5.0)
    canvas.paint(disc(cx, cy, radius), rim_colour(cx, cy, radius), around(cx, cy, radius))
    face = radius - rim
    canvas.paint(disc(cx, cy, face), face_colour(cx, cy, face), around(cx, cy, face))
    if detail >= 1:
        canvas.paint(ring(cx, cy, face + 0.3, max(0.6, radius * 0.02)), (1, 1, 1), around(cx, cy, radius),
                     alpha=0.55)

    if detail == 2:
        for m in range(60):
            if m % 5:
                mx, my = at(cx, cy, face * 0.88, m * 6)
                canvas.paint(disc(mx, my, 0.75), MINUTE_MARK, around(mx, my, 1.5))
    marks = range(0, 360, 30) if detail else range(0, 360, 90)
    for degrees in marks:
        quarter = degrees % 90 == 0
        outer = face * (0.92 if detail == 2 else 0.86)
        inner = face * (0.70 if quarter else 0.78) if detail else face * 0.62
        width = {0: 1.3, 1: radius * 0.11 if quarter else radius * 0.07, 2: 3.2 if quarter else 2.0}[detail]
        (ax, ay), (bx, by) = at(cx, cy, inner, degrees), at(cx, cy, outer, degrees)
        canvas.paint(capsule(ax, ay, bx, by, width), NAVY, (min(ax, bx) - 2, min(ay, by) - 2,
                                                            max(ax, bx) + 2, max(ay, by) + 2))

    # Ten past ten: the hour hand a sixth of the way from ten to eleven.
    hands = [(305, 0.52, 0.13 if detail < 2 else 0.085), (60, 0.78, 0.09 if detail < 2 else 0.06)]
    for degrees, length, width in hands:
        tx, ty = at(cx, cy, face * length, degrees)
        bx, by = at(cx, cy, face * 0.12, degrees + 180)
        w = max(1.4, radius * width)
        canvas.paint(capsule(bx, by, tx, ty, w), NAVY, (min(bx, tx) - w, min(by, ty) - w,
                                                        max(bx, tx) + w, max(by, ty) + w))
    if detail >= 1:
        sx, sy = at(cx, cy, face * 0.86, 210)
        tx, ty = at(cx, cy, face * 0.22, 30)
        w = max(0.9, radius * 0.025)
        canvas.paint(capsule(tx, ty, sx, sy, w), SECOND_RED, (min(sx, tx) - 2, min(sy, ty) - 2,
                                                              max(sx, tx) + 2, max(sy, ty) + 2))
    cap = max(1.2, radius * 0.08)
    canvas.paint(disc(cx, cy, cap), NAVY, around(cx, cy, cap))
    if detail >= 1:
        canvas.paint(disc(cx, cy, cap * 0.45), SECOND_RED, around(cx, cy, cap))


def sync_arrow(canvas, cx, cy, r, width, start, end, colour):
    """A clockwise arc from start to end degrees with an arrowhead at its end."""
    canvas.paint(arc(cx, cy, r, width, start, end - 4), colour, around(cx, cy, r + width))
    a = math.radians(end - 4)
    base_x, base_y = at(cx, cy, r, end - 4)
    tangent = (math.cos(a), math.sin(a))
    outward = (math.sin(a), -math.cos(a))
    head, half = width * 2.1, width * 1.45
    tip = (base_x + tangent[0] * head, base_y + tangent[1] * head)
    left = (base_x + outward[0] * half, base_y + outward[1] * half)
    right = (base_x - outward[0] * half, base_y - outward[1] * half)
    canvas.paint(polygon([tip, right, left]), colour,
                 (min(tip[0], left[0], right[0]), min(tip[1], left[1], right[1]),
                  max(tip[0], left[0], right[0]), max(tip[1], left[1], right[1])))


def options_picture():
    """The clock picture: 150 x 144 on the white of the options frame."""
    canvas = Canvas(150, 144, background=(1.0, 1.0, 1.0))
    cx, cy = 75.0, 72.0
    # Two arrows chase each other round the clock: the clock being set.
    sync_arrow(canvas, cx, cy, 63, 5.5, 200, 330, SYNC_GREEN)
    sync_arrow(canvas, cx, cy, 63, 5.5, 20, 150, SYNC_BLUE)
    clock(canvas, cx, cy, 51, detail=2)
    return canvas


def icon_image(size):
    canvas = Canvas(size, size)
    c = size / 2
    clock(canvas, c, c, c - (0.6 if size <= 16 else size / 32), detail=0 if size <= 16 else 1)
    return canvas


def bmp_24(canvas):
    row_pad = (-canvas.w * 3) % 4
    pixels = bytearray()
    for y in reversed(range(canvas.h)):
        for x in range(canvas.w):
            r, g, b, _ = canvas.rgba8(x, y)
            pixels += bytes((b, g, r))
        pixels += b"\0" * row_pad
    header = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def ico(canvases):
    """Each size as a 32-bit image with alpha and the AND mask that older
    systems still read."""
    images = []
    for c in canvases:
        colour = bytearray()
        mask = bytearray()
        mask_row = ((c.w + 31) // 32) * 4
        for y in reversed(range(c.h)):
            bits = bytearray(mask_row)
            for x in range(c.w):
                r, g, b, a = c.rgba8(x, y)
                colour += bytes((b, g, r, a))
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
        images.append((c.w, header + colour + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    (HERE / "ClockPicture.bmp").write_bytes(bmp_24(options_picture()))
    (HERE / "Veltrano.ico").write_bytes(ico([icon_image(s) for s in (16, 32, 48)]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
