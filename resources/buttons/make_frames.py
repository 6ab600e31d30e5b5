#!/usr/bin/env python3
"""Draws the six 64 x 25 frame pictures of the push button as 24-bit BMPs.

Only the outer 4-pixel band of each picture ever reaches the screen; the
middle is filled so the pictures look whole when opened on their own.
Run from anywhere: python3 resources/buttons/make_frames.py
"""
import os
import struct

W, H = 64, 25
SUB = 4  # subsamples per pixel side for the anti-aliased corners

BEIGE_WINDOW = (0xE2, 0xDE, 0xCB)
DARK_BLUE = (0x00, 0x3C, 0x74)
NEAR_WHITE = (0xF3, 0xF3, 0xEE)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def inside_round_rect(px, py, left, top, right, bottom, r):
    if not (left <= px < right and top <= py < bottom):
        return False
    cx = min(max(px, left + r), right - r)
    cy = min(max(py, top + r), bottom - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def coverage(x, y, rect, r):
    hits = 0
    for i in range(SUB):
        for j in range(SUB):
            if inside_round_rect(x + (i + 0.5) / SUB, y + (j + 0.5) / SUB, *rect, r):
                hits += 1
    return hits / (SUB * SUB)


def amber_rim(y):
    return mix((0xFF, 0xF0, 0xCF), (0xE5, 0x97, 0x00), y / (H - 1))


def blue_rim(x, y, inner):
    left, top, right, bottom = inner
    if y >= bottom - 2:
        return (0x69, 0x82, 0xEE)
    return mix((0xCE, 0xE7, 0xFF), (0x89, 0xAD, 0xE4), max(0, y - top) / (bottom - 3 - top))


def normal_fill(x, y):
    shade = (0xD6, 0xD0, 0xC5)
    if y >= 20:
        return mix(NEAR_WHITE, shade, min(1, (y - 19) / 3))
    return NEAR_WHITE


def pressed_fill(x, y):
    if y <= 3:
        return mix((0xD1, 0xCC, 0xC0), (0xE2, 0xE1, 0xD9), (y - 2) / 2)
    return (0xE2, 0xE1, 0xD9)


def picture(outline_inset, outline, ring, fill, rim=None):
    """outline_inset: 0 puts the outline on the outermost ring, 1 one pixel in."""
    o = outline_inset
    outer = (o, o, W - o, H - o)
    inner = (o + 1, o + 1, W - o - 1, H - o - 1)
    rows = []
    for y in range(H):
        row = []
        for x in range(W):
            c_out = coverage(x, y, outer, 3)
            c_in = coverage(x, y, inner, 2)
            colour = fill(x, y)
            if rim:
                left, top, right, bottom = inner
                if min(x - left, right - 1 - x, y - top, bottom - 1 - y) < 2:
                    colour = rim(x, y, inner)
            px = tuple(ring[k] * (1 - c_out) + outline[k] * (c_out - c_in) + colour[k] * c_in for k in range(3))
            row.append(tuple(round(v) for v in px))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    stride = (W * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    amber = lambda x, y, inner: amber_rim(y)
    pictures = {
        "Normal": picture(1, DARK_BLUE, BEIGE_WINDOW, normal_fill),
        "Pressed": picture(1, DARK_BLUE, BEIGE_WINDOW, pressed_fill),
        "Selected": picture(0, DARK_BLUE, BEIGE_WINDOW, lambda x, y: NEAR_WHITE, blue_rim),
        "HighLight": picture(1, DARK_BLUE, BEIGE_WINDOW, normal_fill, amber),
        "HighLightSelect": picture(0, DARK_BLUE, BEIGE_WINDOW, lambda x, y: NEAR_WHITE, amber),
        "Disable": picture(1, (0xC9, 0xC7, 0xBA), (0xEC, 0xE9, 0xD8), lambda x, y: (0xF5, 0xF4, 0xEA)),
    }
    for name, rows in pictures.items():
        write_bmp(os.path.join(here, name + ".bmp"), rows)


if __name__ == "__main__":
    main()
