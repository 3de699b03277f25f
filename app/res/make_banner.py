#!/usr/bin/env python3
"""Draws the wizard's banner, banner.bmp: a dot-matrix printer feeding continuous paper with tractor
holes, on a blue ground. The banner fills 228 x 312 pixels at 96 DPI; it is drawn at twice that,
456 x 624 pixels, the size it fills at 192 DPI, and the wizard scales it down to the size each
screen needs. It has fewer than 256 colours, so it is stored with a palette of 8 bits a pixel,
losslessly and in a third of the room of 24 bits. Run it from this folder; the file is
committed."""

import struct

S = 2  # the drawing below is laid out in pixels at 96 DPI; S scales it up
W, H = 228 * S, 312 * S
pixels = [[(0, 0, 0)] * W for _ in range(H)]  # rows top to bottom, (r, g, b)


def fill(x0, y0, x1, y1, colour):
    x0, y0, x1, y1 = x0 * S, y0 * S, x1 * S, y1 * S
    for y in range(max(0, y0), min(H, y1)):
        for x in range(max(0, x0), min(W, x1)):
            pixels[y][x] = colour


def disc(cx, cy, r, colour):
    cx, cy, r = cx * S, cy * S, r * S
    fill_pred = lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            if 0 <= x < W and 0 <= y < H and fill_pred(x, y):
                pixels[y][x] = colour


# Ground: a vertical gradient from deep blue to teal.
for y in range(H):
    t = y / (H - 1)
    colour = (int(16 + 10 * t), int(40 + 90 * t), int(110 + 40 * t))
    for x in range(W):
        pixels[y][x] = colour

# Continuous paper rising from the printer, with tractor holes and printed dot rows.
paper = (250, 250, 244)
fill(44, 28, 184, 190, paper)
for y in range(36, 186, 14):
    disc(52, y, 3, (200, 206, 214))
    disc(176, y, 3, (200, 206, 214))
for row, y in enumerate(range(48, 170, 12)):
    length = 96 - (row * 17) % 40
    for x in range(66, 66 + length, 4):
        fill(x, y, x + 2, y + 2, (40, 48, 70))
for y in range(60, 186, 40):  # perforations between the sheets
    for x in range(58, 170, 6):
        fill(x, y, x + 3, y + 1, (190, 190, 190))

# The printer: body, platen slot, control panel and its lights.
fill(24, 186, 204, 252, (214, 218, 224))
fill(24, 186, 204, 190, (238, 240, 244))
fill(36, 192, 192, 200, (60, 64, 72))
fill(24, 252, 204, 260, (150, 156, 166))
fill(140, 214, 192, 240, (70, 76, 88))
disc(152, 227, 4, (80, 220, 120))
disc(166, 227, 4, (250, 190, 60))
disc(180, 227, 4, (90, 96, 110))
for x in range(36, 128, 8):  # vents
    fill(x, 222, x + 5, 242, (180, 186, 196))

# A line under the printer, like a desk.
fill(10, 268, 218, 270, (120, 170, 190))

palette = sorted({colour for row in pixels for colour in row})
assert len(palette) <= 256, f"{len(palette)} colours do not fit a palette of 8 bits"
index = {colour: i for i, colour in enumerate(palette)}
assert W % 4 == 0  # rows need no padding
image = bytearray()
for y in range(H - 1, -1, -1):  # bottom-up
    image += bytes(index[colour] for colour in pixels[y])
colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
offset = 14 + 40 + len(colours)
header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(image), 2835, 2835, len(palette), 0)
with open("banner.bmp", "wb") as f:
    f.write(header + info + colours + image)
