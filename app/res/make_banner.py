#!/usr/bin/env python3
"""Draws the wizard's banner, banner.bmp: 228 x 312 pixels, 24 bits, a dot-matrix printer feeding
continuous paper with tractor holes, on a blue ground. Run it from this folder; the file is
committed."""

import struct

W, H = 228, 312
pixels = [[(0, 0, 0)] * W for _ in range(H)]  # rows top to bottom, (r, g, b)


def fill(x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(H, y1)):
        for x in range(max(0, x0), min(W, x1)):
            pixels[y][x] = colour


def disc(cx, cy, r, colour):
    fill_pred = lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            if 0 <= x < W and 0 <= y < H and fill_pred(x, y):
                pixels[y][x] = colour


# Ground: a vertical gradient from deep blue to teal.
for y in range(H):
    t = y / (H - 1)
    colour = (int(16 + 10 * t), int(40 + 90 * t), int(110 + 40 * t))
    fill(0, y, W, y + 1, colour)

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

row_bytes = W * 3  # 684, already a multiple of 4
image = bytearray()
for y in range(H - 1, -1, -1):  # bottom-up
    for r, g, b in pixels[y]:
        image += bytes((b, g, r))
header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(image), 0, 0, 14 + 40)
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(image), 2835, 2835, 0, 0)
with open("banner.bmp", "wb") as f:
    f.write(header + info + image)
