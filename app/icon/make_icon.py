#!/usr/bin/env python3
"""Draws the program icon, 32 x 32: a myrtle-green tile carrying a white letter with a leaf.

Run from this folder to rebuild milte-post.png (standard library only):
    python3 make_icon.py
"""
import math
import struct
import zlib

SIZE = 32
SAMPLES = 4  # per axis, for smooth edges

GREEN = (46, 125, 79)
DARK_GREEN = (24, 84, 50)
WHITE = (255, 255, 255)
LEAF = (124, 196, 96)


def in_rounded_square(x, y, inset, radius):
    lo, hi = inset, SIZE - inset
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2


def in_leaf(x, y):
    # Two circles' overlap, tilted: a leaf at the letter's upper right.
    c1 = (x - 20.5) ** 2 + (y - 12.5) ** 2 <= 36
    c2 = (x - 26.0) ** 2 + (y - 7.0) ** 2 <= 36
    return c1 and c2


def colour_at(x, y):
    if in_leaf(x, y):
        return LEAF
    in_letter = 6 <= x <= 26 and 12 <= y <= 25
    if in_letter:
        if near_segment(x, y, 6, 12, 16, 19.5, 1.6) or near_segment(x, y, 26, 12, 16, 19.5, 1.6):
            return DARK_GREEN
        return WHITE
    if in_rounded_square(x, y, 1, 6):
        return GREEN
    return None


def pixel(px, py):
    total = [0, 0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            if c is not None:
                total[0] += c[0]
                total[1] += c[1]
                total[2] += c[2]
                total[3] += 1
    n = SAMPLES * SAMPLES
    if total[3] == 0:
        return (0, 0, 0, 0)
    return (total[0] // total[3], total[1] // total[3], total[2] // total[3], 255 * total[3] // n)


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


if __name__ == "__main__":
    image = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    with open("milte-post.png", "wb") as out:
        out.write(png(image))
