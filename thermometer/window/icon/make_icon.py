#!/usr/bin/env python3
"""Draws Ambrel's icon (a thermometer on a blue tile) as PNG files.

Standard library only; run from this folder: ./make_icon.py
Writes ambrel-32.png (the window icon, 16 colours), ambrel-128.png and
ambrel.ico (the Windows program icon: one 32 x 32 image with 16 colours).
"""
import struct
import zlib

BLUE = (0, 0, 223, 255)
DARK = (0, 0, 120, 255)
WHITE = (250, 250, 250, 255)
GREY = (150, 150, 170, 255)
RED = (220, 20, 30, 255)
CLEAR = (0, 0, 0, 0)


def pixel(x, y):
    """Colour at (x, y) in a 1 x 1 square."""
    # Rounded tile.
    r = 0.18
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
        return CLEAR
    if (x - cx) ** 2 + (y - cy) ** 2 > (r - 0.04) ** 2 or min(x, y, 1 - x, 1 - y) < 0.04:
        return DARK
    # Bulb and tube.
    bx, by, br = 0.5, 0.74, 0.14
    d_bulb = ((x - bx) ** 2 + (y - by) ** 2) ** 0.5
    in_tube = abs(x - 0.5) < 0.075 and 0.14 < y < 0.74
    tube_top = ((x - 0.5) ** 2 + (y - 0.14) ** 2) ** 0.5 < 0.075
    if d_bulb < br - 0.045 or (abs(x - 0.5) < 0.035 and 0.36 < y < 0.74):
        return RED
    if d_bulb < br or in_tube or tube_top:
        return WHITE
    # Scale marks right of the tube.
    for mark in (0.24, 0.34, 0.44, 0.54):
        if 0.6 < x < 0.72 and abs(y - mark) < 0.018:
            return WHITE
    if 0.28 < x < 0.38 and abs(y - 0.44) < 0.018:
        return GREY
    return BLUE


def png(size, name):
    rows = b""
    for j in range(size):
        row = b"\x00"
        for i in range(size):
            # 3 x 3 samples per pixel, then the nearest of the few colours.
            samples = [pixel((i + (a + 0.5) / 3) / size, (j + (b + 0.5) / 3) / size)
                       for a in range(3) for b in range(3)]
            row += bytes(max(set(samples), key=samples.count))
        rows += row

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(name, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
                + chunk(b"IEND", b""))


def ico(name):
    """One 32 x 32 image, 4 bits per pixel, transparency in the AND mask."""
    size = 32
    palette = [BLUE, DARK, WHITE, GREY, RED] + [(0, 0, 0, 255)] * 11
    xor_rows, and_rows = [], []
    for j in reversed(range(size)):  # bottom-up rows
        indices, mask = [], 0
        for i in range(size):
            samples = [pixel((i + (a + 0.5) / 3) / size, (j + (b + 0.5) / 3) / size)
                       for a in range(3) for b in range(3)]
            colour = max(set(samples), key=samples.count)
            if colour == CLEAR:
                indices.append(0)
                mask |= 1 << (size - 1 - i)
            else:
                indices.append(palette.index(colour))
        xor_rows.append(bytes((indices[k] << 4) | indices[k + 1] for k in range(0, size, 2)))
        and_rows.append(struct.pack(">I", mask))
    image = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    image += b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
    image += b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22)
    with open(name, "wb") as f:
        f.write(header + image)


png(32, "ambrel-32.png")
png(128, "ambrel-128.png")
ico("ambrel.ico")
