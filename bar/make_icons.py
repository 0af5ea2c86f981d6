#!/usr/bin/python3
"""Draws the search bar's icons into extension/icons/ (standard library only).

The PNGs are committed; run this only to change them.
"""
import math
import pathlib
import struct
import zlib

BLUE = (0x3F, 0x7F, 0xD9)
GREEN = (0x2A, 0x8A, 0x3A)
EDGE = (0x1B, 0x3A, 0x6B)
WHITE = (0xFF, 0xFF, 0xFF)


def write_png(path, size, pixel):
    rows = b""
    for y in range(size):
        rows += b"\0" + b"".join(bytes(pixel(x + 0.5, y + 0.5, size)) for x in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    path.write_bytes(png)


def disc(x, y, s, fill, inner):
    """A filled disc with an edge; `inner` draws white strokes on it."""
    c = s / 2
    r = math.hypot(x - c, y - c)
    if r > c - 0.5:
        return (0, 0, 0, 0)
    if r > c - max(1.0, s / 16):
        return EDGE + (255,)
    return (WHITE if inner(x / s, y / s) else fill) + (255,)


def lens(u, v):
    """A magnifier: a ring and its handle, in unit coordinates."""
    ring = abs(math.hypot(u - 0.43, v - 0.43) - 0.19) < 0.06
    along = (u + v) / 2
    handle = abs(u - v) < 0.09 and 0.58 < along < 0.76
    return ring or handle


def plus(u, v):
    bar = 0.09
    return (abs(u - 0.5) < bar and 0.25 < v < 0.75) or (abs(v - 0.5) < bar and 0.25 < u < 0.75)


icons = pathlib.Path(__file__).resolve().parent / "extension" / "icons"
icons.mkdir(exist_ok=True)
for size in (16, 32, 48, 128):
    write_png(icons / f"qxbar-{size}.png", size, lambda x, y, s: disc(x, y, s, BLUE, lens))
# The learning button's image.
write_png(icons / "learn-16.png", 16, lambda x, y, s: disc(x, y, s, GREEN, plus))
write_png(icons / "learn-32.png", 32, lambda x, y, s: disc(x, y, s, GREEN, plus))
