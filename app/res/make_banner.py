"""Draws the wizard's banner: a dot-matrix printer feeding continuous paper with tractor holes, on a
blue ground. banner.bmp (resource 129, which the page templates name) is the banner at 96 DPI,
228 x 312 pixels of 24 bits. banner-2x.bmp is the same drawing at twice that size, the master the
wizard scales down for larger screens; it has fewer than 256 colours and long runs of one colour, so
it is stored with a palette and run-length compressed (BI_RLE8, which Windows decodes itself), in
a few kilobytes instead of 853. Run it from this folder; the files are committed."""

import struct

def draw(S):
    """The drawing S times its 96-DPI size, as rows top to bottom of (r, g, b). Its coordinates are
    pixels at 96 DPI."""
    W, H = 228 * S, 312 * S
    pixels = [[(0, 0, 0)] * W for _ in range(H)]

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

    return pixels

def bmp(pixels, bits, image, colours=b"", compression=0, used=0):
    width, height = len(pixels[0]), len(pixels)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(image), 2835,
                       2835, used, 0)
    return header + info + colours + image

def bmp24(pixels):
    assert len(pixels[0]) * 3 % 4 == 0  # rows need no padding
    image = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b in row:
            image += bytes((b, g, r))
    return bmp(pixels, 24, image)

def bmp_rle8(pixels):
    palette = sorted({colour for row in pixels for colour in row})
    assert len(palette) <= 256, f"{len(palette)} colours do not fit a palette of 8 bits"
    index = {colour: i for i, colour in enumerate(palette)}
    image = bytearray()
    for row in reversed(pixels):  # bottom-up
        x = 0
        while x < len(row):
            run = 1
            while x + run < len(row) and run < 255 and row[x + run] == row[x]:
                run += 1
            image += bytes((run, index[row[x]]))
            x += run
        image += b"\0\0"  # end of line
    image += b"\0\1"  # end of bitmap
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return bmp(pixels, 8, image, colours, 1, len(palette))  # 1: BI_RLE8

with open("banner.bmp", "wb") as f:
    f.write(bmp24(draw(1)))
with open("banner-2x.bmp", "wb") as f:
    f.write(bmp_rle8(draw(2)))
