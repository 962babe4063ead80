#!/usr/bin/env python3
"""make_icon.py: draws the program's icon, a yellow cross with rounded arms
standing on a round green base, at every size Windows asks for (16, 20, 24,
32, 40, 48, 64 and 256 pixels), each drawn anew at its size with smooth
edges, 32-bit colour with transparency; the 256 one as PNG. Run it to remake
ui/Vostrelk.ico: python3 tools/make_icon.py"""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
GREEN, DARK_GREEN = (40, 160, 60), (20, 100, 35)
YELLOW, DARK_YELLOW = (255, 215, 0), (200, 150, 0)


def inside_capsule(x, y, x0, y0, x1, y1, r):
    """Whether (x, y) lies within r of the segment (x0, y0)-(x1, y1): a rounded bar."""
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / float(dx * dx + dy * dy)))
    px, py = x0 + t * dx, y0 + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= r * r


def colour(u, v, size):
    """The design's colour at (u, v) in a 32-unit square, or None (transparent).
    The dark rims are a fixed share of a pixel wide at small sizes, so that
    the shape still reads at 16 pixels."""
    rim = max(1.0, 32.0 / size)  # at least one pixel
    if inside_capsule(u, v, 16, 3.5, 16, 25, 3.2) or inside_capsule(u, v, 7, 11, 25, 11, 3.2):
        core = (inside_capsule(u, v, 16, 3.5, 16, 25, 3.2 - rim) or
                inside_capsule(u, v, 7, 11, 25, 11, 3.2 - rim))
        return YELLOW if core else DARK_YELLOW
    base = ((u - 16.0) / 13.0) ** 2 + ((v - 26.5) / 4.5) ** 2
    if base <= 1.0:
        inner = ((u - 16.0) / (13.0 - rim)) ** 2 + ((v - 26.5) / (4.5 - rim)) ** 2
        return GREEN if inner <= 1.0 else DARK_GREEN
    return None


def render(size):
    """Rows of (r, g, b, a), top first; 4x4 samples a pixel for smooth edges."""
    n = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for j in range(n):
                for i in range(n):
                    c = colour((x + (i + 0.5) / n) * 32.0 / size,
                               (y + (j + 0.5) / n) * 32.0 / size, size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            row.append((r // a, g // a, b // a, a * 255 // (n * n)) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def bmp_image(size, rows):
    """A 32-bit icon image: header, colours bottom-up, an AND mask from alpha."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = (size + 31) // 32 * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + xor + mask


def png_image(size, rows):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b''.join(b'\0' + bytes(c for px in row for c in px) for row in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def build():
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_image(size, rows) if size >= 256 else bmp_image(size, rows)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'ui/Vostrelk.ico'
    with open(out, 'wb') as f:
        f.write(build())
