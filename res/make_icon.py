#!/usr/bin/env python3
"""Draws the program icon (16, 32 and 48 px, 32-bit with alpha) and writes it as a .ico file.

The glyph is a teal rounded tile with a white arrow dropping into a tray: install and repair.
"""
import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 4


def inside_rounded(x, y, r):
    lo, hi = r, 1.0 - r
    cx = min(max(x, lo), hi)
    cy = min(max(y, lo), hi)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_arrow(x, y):
    shaft = 0.43 <= x <= 0.57 and 0.16 <= y <= 0.50
    head = 0.46 <= y <= 0.68 and abs(x - 0.5) <= (0.68 - y) * 1.1
    return shaft or head


def in_tray(x, y):
    base = 0.72 <= y <= 0.82 and 0.20 <= x <= 0.80
    walls = 0.56 <= y <= 0.82 and (0.20 <= x <= 0.29 or 0.71 <= x <= 0.80)
    return base or walls


def shade(x, y):
    """Colour (r, g, b, a) at a point of the unit square."""
    if not inside_rounded(x, y, 0.18):
        return (0, 0, 0, 0)
    if in_arrow(x, y) or in_tray(x, y):
        return (255, 255, 255, 255)
    # Vertical gradient, lighter at the top.
    t = y
    return (int(20 + 20 * t), int(150 - 50 * t), int(170 - 40 * t), 255)


def render(size):
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = shade((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (n * n)
            if acc[3]:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], int(a)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(size):
    """BITMAPINFOHEADER, bottom-up BGRA pixels, then the 1-bit AND mask."""
    pixels = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            body += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(body) + bytes(mask)


def main(path):
    images = [dib(s) for s in SIZES]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1])
