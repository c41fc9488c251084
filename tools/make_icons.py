#!/usr/bin/env python3
"""Draws the tool bar's image strip: six 16 x 16 icons side by side (96 x 16), 256-colour BMP,
magenta (255, 0, 255) as the transparent colour. Index 0 is unused, then load, save, run,
stop and the table-definition button. Usage: make_icons.py OUTPUT.bmp"""
import struct
import sys

W, H = 96, 16
MAGENTA = (255, 0, 255)
PALETTE = [MAGENTA, (0, 0, 0), (255, 255, 255), (128, 128, 128), (192, 192, 192),
           (230, 190, 60), (160, 120, 20), (40, 90, 200), (20, 50, 140), (30, 160, 60),
           (15, 100, 35), (210, 40, 40), (130, 20, 20), (240, 240, 200)]
C = {name: i for i, name in enumerate(
    ["t", "black", "white", "grey", "silver", "yellow", "brown", "blue", "navy", "green",
     "dkgreen", "red", "dkred", "cream"])}

pixels = [[C["t"]] * W for _ in range(H)]


def put(icon, x, y, colour):
    if 0 <= x < 16 and 0 <= y < 16:
        pixels[y][icon * 16 + x] = C[colour]


def rect(icon, x0, y0, x1, y1, fill, border=None):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            put(icon, x, y, border if (border and edge) else fill)


# 1: an open folder with a sheet coming out (load settings)
rect(1, 1, 4, 13, 13, "yellow", "brown")
rect(1, 1, 3, 6, 4, "yellow", "brown")
rect(1, 5, 1, 12, 8, "white", "grey")
for y in range(8, 14):
    for x in range(3 + (13 - y) // 2, 15 - (13 - y) // 3):
        put(1, x, y, "yellow")
for x in range(3, 15):
    put(1, x, 13, "brown")

# 2: a floppy disk (save settings)
rect(2, 1, 1, 14, 14, "blue", "navy")
rect(2, 4, 1, 11, 6, "silver", "grey")
rect(2, 8, 2, 10, 5, "navy")
rect(2, 3, 9, 12, 14, "white", "grey")
for x in range(5, 11):
    put(2, x, 11, "grey")

# 3: a green triangle (start)
for y in range(2, 14):
    half = min(y - 2, 13 - y)
    for x in range(4, 4 + 2 * half + 1):
        put(3, x, y, "green")
    put(3, 4 + 2 * half, y, "dkgreen")
for y in range(2, 14):
    put(3, 4, y, "dkgreen")

# 4: a red square (stop)
rect(4, 3, 3, 12, 12, "red", "dkred")

# 5: a small table with a header row (table definition)
rect(5, 1, 2, 14, 13, "cream", "black")
rect(5, 2, 3, 13, 5, "blue")
for y in (8, 11):
    for x in range(1, 15):
        put(5, x, y, "black")
for y in range(2, 14):
    put(5, 6, y, "black")
    put(5, 10, y, "black")

row_bytes = W  # 96 is a multiple of 4: no padding
palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
palette += b"\0" * (256 * 4 - len(palette))
data = b"".join(bytes(pixels[y]) for y in range(H - 1, -1, -1))  # bottom-up rows
offset = 14 + 40 + len(palette)
header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(data), 2835, 2835, 256, 0)
with open(sys.argv[1], "wb") as out:
    out.write(header + info + palette + data)
