#!/usr/bin/env python3
"""make_icon.py: draws the program's icon, a yellow cross with rounded arms
standing on a round green base, as a 32x32 256-colour .ico with a transparent
background. Run it to remake ui/Vostrelk.ico: python3 tools/make_icon.py"""
import struct
import sys

SIZE = 32
TRANSPARENT, GREEN, DARK_GREEN, YELLOW, DARK_YELLOW = 0, 1, 2, 3, 4
PALETTE = {TRANSPARENT: (0, 0, 0), GREEN: (40, 160, 60), DARK_GREEN: (20, 100, 35),
           YELLOW: (255, 215, 0), DARK_YELLOW: (200, 150, 0)}


def inside_capsule(x, y, x0, y0, x1, y1, r):
    """Whether (x, y) lies within r of the segment (x0, y0)-(x1, y1): a rounded bar."""
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / float(dx * dx + dy * dy)))
    px, py = x0 + t * dx, y0 + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= r * r


def pixel(x, y):
    cx, cy = x + 0.5, y + 0.5
    # The base: a flattened green disc at the bottom, with a darker rim.
    bx, by, brx, bry = 16.0, 26.5, 13.0, 4.5
    base = ((cx - bx) / brx) ** 2 + ((cy - by) / bry) ** 2
    # The cross: a vertical and a horizontal bar with rounded ends.
    vertical = inside_capsule(cx, cy, 16, 3.5, 16, 25, 3.2)
    horizontal = inside_capsule(cx, cy, 7, 11, 25, 11, 3.2)
    if vertical or horizontal:
        edge = not (inside_capsule(cx, cy, 16, 3.5, 16, 25, 2.2) or
                    inside_capsule(cx, cy, 7, 11, 25, 11, 2.2))
        return DARK_YELLOW if edge else YELLOW
    if base <= 1.0:
        return DARK_GREEN if base > 0.6 else GREEN
    return TRANSPARENT


def build():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b''.join(struct.pack('<BBBB', *reversed(PALETTE.get(i, (0, 0, 0))), 0)
                       for i in range(256))
    xor = b''.join(bytes(rows[y]) for y in reversed(range(SIZE)))  # bottom-up, 32 bytes a row
    and_mask = b''
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if rows[y][x] == TRANSPARENT else 0)
        and_mask += struct.pack('>I', bits)  # 32 bits: already a multiple of 4 bytes
    image = header + palette + xor + and_mask
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack(
        '<BBBBHHII', SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + image


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'ui/Vostrelk.ico'
    with open(out, 'wb') as f:
        f.write(build())
