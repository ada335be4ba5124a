#!/usr/bin/env python3
"""Draws the pictures the main window and the About box paint, as PNG files in res/images/.

Pure white is the see-through colour where the program draws them, so every background is
pure white and every edge is hard (no blending towards white, which would leave a pale fringe
on the grey window). Only the Python standard library is used; the output is the same on every
run.

Usage: scripts/make_images.py [output folder]
"""

import os
import struct
import sys
import zlib

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
GREEN = (0, 128, 0)
LIGHT_GREEN = (60, 200, 90)
YELLOW = (255, 204, 0)
STEEL = (110, 118, 128)
DARK_STEEL = (60, 66, 74)
RED = (220, 30, 30)

# 5 x 7 capitals for the word marks; '#' is ink.
FONT = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "#   #", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
}


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[WHITE] * width for _ in range(height)]

    def rect(self, left, top, right, bottom, colour):
        """Fills left <= x < right, top <= y < bottom."""
        for y in range(max(top, 0), min(bottom, self.height)):
            row = self.pixels[y]
            for x in range(max(left, 0), min(right, self.width)):
                row[x] = colour

    def frame(self, left, top, right, bottom, colour, thickness=1):
        self.rect(left, top, right, top + thickness, colour)
        self.rect(left, bottom - thickness, right, bottom, colour)
        self.rect(left, top, left + thickness, bottom, colour)
        self.rect(right - thickness, top, right, bottom, colour)

    def polygon(self, points, colour):
        """Fills a polygon by the even-odd rule at pixel centres."""
        for y in range(self.height):
            cy = y + 0.5
            crossings = []
            for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
                if (y0 <= cy < y1) or (y1 <= cy < y0):
                    crossings.append(x0 + (cy - y0) * (x1 - x0) / (y1 - y0))
            crossings.sort()
            for a, b in zip(crossings[::2], crossings[1::2]):
                for x in range(self.width):
                    if a <= x + 0.5 < b:
                        self.pixels[y][x] = colour

    def text(self, left, top, word, scale, colour):
        for index, letter in enumerate(word):
            for row, line in enumerate(FONT[letter]):
                for column, ink in enumerate(line):
                    if ink == "#":
                        x = left + (index * 6 + column) * scale
                        y = top + row * scale
                        self.rect(x, y, x + scale, y + scale, colour)

    def png(self):
        raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def maker_logo(size, word):
    """The maker's mark: a black square with a roof and a green stripe, with the word MEVO."""
    scale = max(size // 16, 1)
    canvas = Canvas(size + 28 * scale if word else size, size)
    canvas.rect(0, 0, size, size, BLACK)
    canvas.rect(size // 5, size * 3 // 5, size * 4 // 5, size * 3 // 4, LIGHT_GREEN)
    canvas.polygon([(size * 0.2, size * 0.5), (size * 0.5, size * 0.2), (size * 0.8, size * 0.5)],
                   WHITE if size < 40 else YELLOW)
    if word:
        canvas.text(size + 3 * scale, (size - 7 * scale) // 2, "MEVO", scale, BLACK)
    return canvas


def supply():
    """The supply family's mark: a steel enclosure with vents and a lamp, and its name."""
    canvas = Canvas(164, 34)
    canvas.rect(0, 2, 46, 32, STEEL)
    canvas.frame(0, 2, 46, 32, DARK_STEEL, 2)
    for y in range(8, 28, 5):
        canvas.rect(6, y, 30, y + 2, DARK_STEEL)
    canvas.rect(35, 8, 41, 14, LIGHT_GREEN)
    canvas.rect(35, 20, 41, 26, RED)
    canvas.text(54, 6, "SABREL", 3, DARK_STEEL)
    return canvas


def product_icon(charging):
    """The battery of the product icon; the two frames alternate while monitoring runs."""
    canvas = Canvas(36, 32)
    canvas.rect(4, 4, 30, 30, BLACK)
    canvas.rect(12, 0, 22, 4, BLACK)
    canvas.rect(7, 7, 27, 27, WHITE)
    if charging:
        canvas.rect(7, 7, 27, 27, LIGHT_GREEN)
        canvas.polygon([(19, 8), (11, 19), (17, 19), (14, 27), (23, 15), (17, 15)], YELLOW)
    else:
        canvas.rect(7, 19, 27, 27, GREEN)
        canvas.polygon([(19, 8), (11, 19), (17, 19), (14, 27), (23, 15), (17, 15)], DARK_STEEL)
    return canvas


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res", "images")
    os.makedirs(folder, exist_ok=True)
    pictures = {
        "Mevo Logo_SquareBlack.png": maker_logo(64, True),
        "Sabrel Icon_L.png": supply(),
        "Brenvik Icon_L1.png": product_icon(False),
        "Brenvik Icon_L2.png": product_icon(True),
        "Mevo_Logo_Final2.png": maker_logo(32, False),
    }
    for name, canvas in pictures.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(canvas.png())


if __name__ == "__main__":
    main()
