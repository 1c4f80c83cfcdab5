#!/usr/bin/env python3
"""Makes wirelet.ico from wirelet.xpm: one 32x32 image, 32 bits per pixel
with alpha, which every Windows since XP shows. Run by hand when the XPM
changes: python3 xpm_to_ico.py ../wirelet.xpm wirelet.ico"""
import re
import struct
import sys


def read_xpm(path):
    rows = re.findall(r'"([^"]*)"', open(path, encoding="ascii").read())
    width, height, colours, per_pixel = map(int, rows[0].split()[:4])
    palette = {}
    for line in rows[1:1 + colours]:
        key, rest = line[:per_pixel], line[per_pixel:].split()
        value = rest[rest.index("c") + 1]
        palette[key] = None if value.lower() == "none" else tuple(int(value[i:i + 2], 16) for i in (1, 3, 5))
    pixels = [[palette[r[x * per_pixel:(x + 1) * per_pixel]] for x in range(width)]
              for r in rows[1 + colours:1 + colours + height]]
    return width, height, pixels


def ico_bytes(width, height, pixels):
    xor = b""
    for row in reversed(pixels):  # bottom-up, as in a DIB
        for p in row:
            xor += bytes((0, 0, 0, 0)) if p is None else bytes((p[2], p[1], p[0], 255))
    mask_stride = ((width + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", width, height, 0, 0, 1, 32, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[2], "wb") as out:
        out.write(ico_bytes(*read_xpm(sys.argv[1])))
