#!/usr/bin/env python3
"""Draws the Brenvik-USB program icon and writes it as res/brenvik.ico.

The picture is a white battery with a yellow lightning bolt on a rounded green square, drawn
from geometry in unit coordinates, so every size is rendered from scratch rather than scaled.
The icon holds 48, 32, 24 and 16 pixel images at 32 bits per pixel (colour plus alpha).
Only the Python standard library is used; the output is the same on every run.

Usage: scripts/make_icon.py [output path]
"""

import os
import struct
import sys

SIZES = (48, 32, 24, 16)
SAMPLES = 4  # supersampling per axis, for smooth edges

BACKGROUND_TOP = (46, 160, 67)
BACKGROUND_BOTTOM = (0, 110, 40)
WHITE = (255, 255, 255)
BOLT = (255, 204, 0)


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_polygon(x, y, points):
    inside = False
    count = len(points)
    for i in range(count):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % count]
        if (y1 > y) != (y2 > y):
            crossing = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            if x < crossing:
                inside = not inside
    return inside


BOLT_POINTS = [
    (0.55, 0.33), (0.36, 0.62), (0.49, 0.62), (0.44, 0.82),
    (0.65, 0.51), (0.52, 0.51), (0.58, 0.33),
]


def sample(x, y):
    """Colour (r, g, b) and opacity of the picture at unit coordinates (x, y)."""
    if not inside_rounded_rect(x, y, 0.02, 0.02, 0.98, 0.98, 0.2):
        return (0, 0, 0), 0.0
    if inside_polygon(x, y, BOLT_POINTS):
        return BOLT, 1.0
    battery_outer = inside_rounded_rect(x, y, 0.24, 0.24, 0.76, 0.90, 0.07)
    battery_inner = inside_rounded_rect(x, y, 0.31, 0.31, 0.69, 0.83, 0.03)
    terminal = 0.40 <= x <= 0.60 and 0.13 <= y <= 0.25
    if (battery_outer and not battery_inner) or terminal:
        return WHITE, 1.0
    t = (y - 0.02) / 0.96
    return tuple(round(a + (b - a) * t) for a, b in zip(BACKGROUND_TOP, BACKGROUND_BOTTOM)), 1.0


def render(size):
    """Rows of (b, g, r, a) pixels, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            red = green = blue = coverage = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour, alpha = sample((px + (sx + 0.5) / SAMPLES) / size,
                                           (py + (sy + 0.5) / SAMPLES) / size)
                    red += colour[0] * alpha
                    green += colour[1] * alpha
                    blue += colour[2] * alpha
                    coverage += alpha
            if coverage == 0:
                row.append((0, 0, 0, 0))
                continue
            row.append((round(blue / coverage), round(green / coverage), round(red / coverage),
                        round(255 * coverage / (SAMPLES * SAMPLES))))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, colour bottom-up, then the 1-bit mask bottom-up."""
    rows = render(size)
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (b, g, r, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def icon_file(sizes):
    images = [icon_image(size) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res", "brenvik.ico")
    with open(target, "wb") as handle:
        handle.write(icon_file(SIZES))
    print(target)


if __name__ == "__main__":
    main()
