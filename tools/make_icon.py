#!/usr/bin/env python3
"""Draws the launcher's icon and writes it as a Windows .ico file.

One icon group of 14 images: 32, 24 and 16 px at 4 bits per pixel; 48, 32, 24 and 16 px at 8 bits;
256 px as an embedded PNG; 128, 64, 48, 32, 24 and 16 px at 32 bits. The artwork is a rounded blue
tile with a white "play" triangle, drawn with supersampling so the small sizes stay clean. The output
is the same bytes on every run.

Usage: make_icon.py OUT.ico
"""
import struct
import sys
import zlib

SAMPLES = 4  # supersampling per axis

TILE_TOP = (0x2F, 0x80, 0xED)
TILE_BOTTOM = (0x0B, 0x3C, 0x8C)
TRIANGLE = (0xFF, 0xFF, 0xFF)


def inside_tile(x, y):
    """Rounded square covering the unit square with a small margin."""
    margin, radius = 0.04, 0.2
    lo, hi = margin + radius, 1 - margin - radius
    cx = min(max(x, lo), hi)
    cy = min(max(y, lo), hi)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_triangle(x, y):
    """Play triangle pointing right, centred optically."""
    ax, ay, bx, by, cx, cy = 0.36, 0.26, 0.36, 0.74, 0.76, 0.5

    def side(px, py, qx, qy, rx, ry):
        return (qx - px) * (ry - py) - (qy - py) * (rx - px)

    d1 = side(ax, ay, bx, by, x, y)
    d2 = side(bx, by, cx, cy, x, y)
    d3 = side(cx, cy, ax, ay, x, y)
    return (d1 <= 0 and d2 <= 0 and d3 <= 0) or (d1 >= 0 and d2 >= 0 and d3 >= 0)


def render(size):
    """Rows of (r, g, b, a) tuples, top row first."""
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0, 0, 0, 0]
            for sj in range(SAMPLES):
                for si in range(SAMPLES):
                    x = (i + (si + 0.5) / SAMPLES) / size
                    y = (j + (sj + 0.5) / SAMPLES) / size
                    if not inside_tile(x, y):
                        continue
                    if inside_triangle(x, y):
                        colour = TRIANGLE
                    else:
                        colour = tuple(round(t + (b - t) * y) for t, b in zip(TILE_TOP, TILE_BOTTOM))
                    for k in range(3):
                        acc[k] += colour[k]
                    acc[3] += 1
            n = SAMPLES * SAMPLES
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]),
                            round(255 * acc[3] / n)))
        rows.append(row)
    return rows


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
         (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    levels = [0, 51, 102, 153, 204, 255]
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    colours += [(v, v, v) for v in range(8, 248, 6)][:256 - len(colours)]
    colours += [(0, 0, 0)] * (256 - len(colours))
    # Shades of the tile, so the 8-bit images keep their gradient.
    for k in range(16):
        t = k / 15
        colours[216 + k] = tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))
    return colours


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda n: sum((palette[n][k] - colour[k]) ** 2 for k in range(3)))


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def and_mask(pixels, size):
    out = bytearray()
    stride = row_bytes(1, size)
    for row in reversed(pixels):
        line = bytearray(stride)
        for i, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[i // 8] |= 0x80 >> (i % 8)
        out += line
    return bytes(out)


def bmp_image(size, bits):
    pixels = render(size)
    palette = VGA16 if bits == 4 else palette256() if bits == 8 else []
    stride = row_bytes(bits, size)
    xor = bytearray()
    cache = {}
    for row in reversed(pixels):
        line = bytearray(stride)
        for i, (r, g, b, a) in enumerate(row):
            if bits == 32:
                line[4 * i:4 * i + 4] = bytes((b, g, r, a))
                continue
            index = 0 if a < 128 else cache.setdefault((r, g, b), nearest(palette, (r, g, b)))
            if bits == 8:
                line[i] = index
            else:
                line[i // 2] |= index << (4 if i % 2 == 0 else 0)
        xor += line
    mask = and_mask(pixels, size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0,
                         0, len(palette), 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + colours + bytes(xor) + mask


def png_image(size):
    pixels = render(size)
    raw = b''.join(b'\x00' + bytes(v for px in row for v in px) for row in pixels)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


# (size, bits per pixel, png?) in the order the group lists them.
IMAGES = [(32, 4, False), (24, 4, False), (16, 4, False),
          (48, 8, False), (32, 8, False), (24, 8, False), (16, 8, False),
          (256, 32, True),
          (128, 32, False), (64, 32, False), (48, 32, False), (32, 32, False), (24, 32, False),
          (16, 32, False)]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [png_image(s) if png else bmp_image(s, bits) for s, bits, png in IMAGES]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for (size, bits, _), data in zip(IMAGES, images):
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 16 if bits == 4 else 0, 0, 1,
                               bits, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], 'wb') as out:
        out.write(directory + entries + b''.join(images))


if __name__ == '__main__':
    main()
