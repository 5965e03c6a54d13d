#!/usr/bin/env python3
"""Draws the program icon, 32 x 32: a myrtle-green tile carrying a white letter with a leaf.

Run from this folder to rebuild the Linux icons and the Windows icon milte-post.ico (standard
library only):
    python3 make_icon.py

The Linux icons are PNGs laid out as the hicolor icon theme lays them out,
hicolor/<size>x<size>/apps/milte-post.png, at the sizes desktops ask for (the 32-pixel one is
also the window's icon). The .ico holds the drawing at 32 x 32 in 256 colours (the size and depth
the shell shows first), at 16 x 16 in 256 colours, and in true colour at 48 x 48 and 256 x 256 for
large icon views.
"""
import os
import math
import struct
import zlib

SIZE = 32
THEME_SIZES = (16, 32, 48, 64, 128, 256)
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


def pixel(px, py, scale=1.0):
    """The pixel's colour, averaged over its samples; scale maps its grid onto the 32-unit drawing."""
    total = [0, 0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour_at((px + (sx + 0.5) / SAMPLES) * scale, (py + (sy + 0.5) / SAMPLES) * scale)
            if c is not None:
                total[0] += c[0]
                total[1] += c[1]
                total[2] += c[2]
                total[3] += 1
    n = SAMPLES * SAMPLES
    if total[3] == 0:
        return (0, 0, 0, 0)
    return (total[0] // total[3], total[1] // total[3], total[2] // total[3], 255 * total[3] // n)


def render(size):
    return [[pixel(x, y, SIZE / size) for x in range(size)] for y in range(size)]


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def palette_of(rows):
    """Up to 256 colours for the opaque pixels: the most frequent ones, so the tile's own colours are exact."""
    counts = {}
    for row in rows:
        for r, g, b, a in row:
            if a >= 128:
                counts[(r, g, b)] = counts.get((r, g, b), 0) + 1
    return sorted(counts, key=lambda colour: -counts[colour])[:256]


def nearest(colour, palette):
    return min(range(len(palette)), key=lambda i: sum((c - p) ** 2 for c, p in zip(colour, palette[i])))


def bmp_256(rows):
    """An icon image in 256 colours: header, palette, bottom-up indices, then the transparency mask."""
    size = len(rows)
    palette = palette_of(rows)
    index_of = {colour: i for i, colour in enumerate(palette)}
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette) + b"\0" * 4 * (256 - len(palette))
    indices, mask = b"", b""
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        indices += bytes(0 if p[3] < 128 else index_of.get(p[:3]) or nearest(p[:3], palette) for p in row)
        bits = 0
        for x, p in enumerate(row):
            if p[3] < 128:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask += bits.to_bytes(mask_stride, "big")
    return header + colours + indices + mask


def ico(images):
    """images: (size, encoded image) pairs; a 256-pixel side is written as 0, as the format says."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, encoded in images:
        bits = 8 if encoded[:4] == struct.pack("<I", 40) else 32
        # The colour count 0 stands for 256 or more.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(encoded), offset)
        offset += len(encoded)
        data += encoded
    return directory + entries + data


if __name__ == "__main__":
    images = {size: render(size) for size in THEME_SIZES}
    for size, image in images.items():
        folder = os.path.join("hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "milte-post.png"), "wb") as out:
            out.write(png(image))
    with open("milte-post.ico", "wb") as out:
        out.write(ico([(32, bmp_256(images[32])), (16, bmp_256(images[16])), (48, png(images[48])),
                       (256, png(images[256]))]))
