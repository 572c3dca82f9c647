#!/usr/bin/env python3
"""Draws the window's three images: the icon, the cut-position diagram and the product photograph.

Run from this folder: python3 make_images.py. The icon and the diagram are written directly as
BMP files; the photograph is rendered to a PPM and turned into a JPEG by ImageMagick's convert.
"""
import math
import os
import random
import struct
import subprocess

# The standard 16-colour palette, in the order of the 4-bit colour indices.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREY, WHITE, BLUE, DARK_BLUE = 0, 7, 15, 12, 4


def write_bmp(path, width, height, bits, palette, pixels):
    """pixels[row][column] are palette indices, row 0 at the top."""
    row_bytes = ((width * bits + 31) // 32) * 4
    body = bytearray()
    for row in reversed(pixels):
        packed = bytearray()
        if bits == 4:
            for x in range(0, width, 2):
                high = row[x]
                low = row[x + 1] if x + 1 < width else 0
                packed.append((high << 4) | low)
        else:
            packed.extend(row)
        packed.extend(b"\0" * (row_bytes - len(packed)))
        body.extend(packed)
    colours = bytearray()
    for r, g, b in palette:
        colours.extend((b, g, r, 0))
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body), 3780, 3780,
                       len(palette), 0)
    with open(path, "wb") as f:
        f.write(header + info + colours + body)


def diagram():
    """A white ticket with grey torn edges, black sides and the black mark on the right."""
    width, height = 130, 101
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            if y <= 16 or y >= 95:
                c = GREY
            elif x < 2 or x == width - 1:
                c = BLACK
            elif 105 <= x <= 127 and 36 <= y <= 40:
                c = BLACK
            else:
                c = WHITE
            row.append(c)
        rows.append(row)
    write_bmp("diagram.bmp", width, height, 4, PALETTE16, rows)


def icon():
    """A white printer with a ticket coming out of it, on a blue field; 256-colour palette."""
    palette = PALETTE16 + [(0, 0, 0)] * 240
    for i in range(16, 256):  # a ramp of blues, so the field can shade towards the corners
        t = (i - 16) / 239
        palette[i] = (int(10 + 40 * t), int(40 + 90 * t), int(140 + 115 * t))
    size = 32
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            shade = 16 + int(239 * (1 - math.hypot(x - 10, y - 8) / 40))
            c = max(16, min(255, shade))
            body = 4 <= x <= 27 and 13 <= y <= 22
            slot = 8 <= x <= 23 and 17 <= y <= 18
            ticket = 10 <= x <= 21 and (5 <= y <= 12 or 19 <= y <= 28)
            lines = ticket and y in (7, 9, 24, 26) and 12 <= x <= 19
            if body and not slot:
                c = WHITE
            if ticket:
                c = DARK_BLUE if lines else WHITE
            if body and slot:
                c = DARK_BLUE
            row.append(c)
        rows.append(row)
    write_bmp("icon.bmp", size, size, 8, palette, rows)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour, alpha=1.0):
        if 0 <= x < self.width and 0 <= y < self.height:
            old = self.pixels[y][x]
            self.pixels[y][x] = tuple(int(o + (n - o) * alpha) for o, n in zip(old, colour))

    def rect(self, x0, y0, x1, y1, top, bottom=None):
        bottom = bottom or top
        for y in range(y0, y1):
            t = (y - y0) / max(1, y1 - y0 - 1)
            colour = tuple(int(a + (b - a) * t) for a, b in zip(top, bottom))
            for x in range(x0, x1):
                self.put(x, y, colour)

    def ellipse(self, cx, cy, rx, ry, colour, shade=0.0):
        for y in range(int(cy - ry), int(cy + ry) + 1):
            for x in range(int(cx - rx), int(cx + rx) + 1):
                d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
                if d <= 1:
                    k = 1 - shade * (x - cx + rx) / (2 * rx)
                    self.put(x, y, tuple(int(c * k) for c in colour))

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (self.width, self.height))
            for row in self.pixels:
                f.write(bytes(c for pixel in row for c in pixel))


def photograph():
    """The printer mechanism with its paper roll, power supply and interface boards."""
    random.seed(740)
    c = Canvas(300, 225, (236, 236, 232))
    c.rect(0, 0, 300, 150, (246, 246, 244), (214, 214, 210))   # studio backdrop
    c.rect(0, 150, 300, 225, (200, 200, 196), (170, 170, 166))  # table
    # paper roll behind the mechanism
    c.ellipse(95, 92, 58, 58, (250, 248, 240), shade=0.25)
    c.ellipse(95, 92, 16, 16, (150, 120, 80))
    c.ellipse(95, 92, 7, 7, (60, 50, 40))
    # the paper running from the roll into the mechanism
    c.rect(95, 140, 200, 146, (252, 252, 248))
    # printer mechanism: dark chassis with a metal cover and the ticket exit
    c.rect(140, 96, 262, 172, (70, 72, 78), (34, 35, 40))
    c.rect(146, 100, 256, 118, (180, 184, 190), (120, 124, 130))
    c.rect(210, 128, 262, 134, (20, 20, 22))
    c.rect(262, 126, 292, 136, (252, 252, 248))              # a ticket coming out
    c.rect(276, 126, 284, 136, (20, 20, 20))                 # its black mark
    for x in range(150, 250, 9):                              # cover ribs
        c.rect(x, 102, x + 2, 116, (210, 212, 216))
    # power supply: a perforated metal box at the front left
    c.rect(14, 160, 104, 214, (150, 154, 160), (96, 100, 106))
    for y in range(166, 208, 6):
        for x in range(20, 98, 6):
            c.rect(x, y, x + 3, y + 3, (48, 50, 54))
    c.rect(96, 176, 132, 180, (20, 20, 20))                  # its cable
    # interface boards: green circuit boards with chips and connectors
    for bx, by in ((150, 178), (222, 182)):
        c.rect(bx, by, bx + 64, by + 34, (34, 120, 60), (20, 88, 44))
        for i in range(4):
            c.rect(bx + 6 + 14 * i, by + 8, bx + 16 + 14 * i, by + 18, (24, 24, 26))
        c.rect(bx + 4, by + 24, bx + 40, by + 30, (200, 170, 60))
        c.rect(bx + 46, by + 22, bx + 60, by + 32, (190, 190, 196))
    for y in range(c.height):                                # a little sensor noise
        for x in range(c.width):
            n = random.randint(-5, 5)
            c.pixels[y][x] = tuple(max(0, min(255, v + n)) for v in c.pixels[y][x])
    c.save_ppm("product.ppm")
    subprocess.run(["convert", "product.ppm", "-quality", "88", "-sampling-factor", "2x2",
                    "-strip", "product.jpg"], check=True)
    os.remove("product.ppm")


if __name__ == "__main__":
    diagram()
    icon()
    photograph()
