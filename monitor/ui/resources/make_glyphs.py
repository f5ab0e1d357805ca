#!/usr/bin/env python3
"""Draws the transmit grid's check box glyphs CHECK_OFF and CHECK_ON.

Both are 18 x 18 pixels, 24 bits per pixel, with a black frame 2 pixels wide;
CHECK_OFF is white inside, CHECK_ON green (0, 255, 128) with a black tick.
Run it from this folder to regenerate check_off.png and check_on.png.
"""
import struct
import zlib

SIZE = 18
BLACK, WHITE, GREEN = (0, 0, 0), (255, 255, 255), (0, 255, 128)


def framed(inside):
    return [[BLACK if min(x, y, SIZE - 1 - x, SIZE - 1 - y) < 2 else inside
             for x in range(SIZE)] for y in range(SIZE)]


def stroke(pixels, a, b, width=2):
    (x0, y0), (x1, y1) = a, b
    steps = max(abs(x1 - x0), abs(y1 - y0)) * 4
    for i in range(steps + 1):
        x = x0 + (x1 - x0) * i / steps
        y = y0 + (y1 - y0) * i / steps
        for dx in range(width):
            for dy in range(width):
                pixels[int(y) + dy][int(x) + dx] = BLACK


def write_png(name, pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)
    with open(name, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


write_png("check_off.png", framed(WHITE))
on = framed(GREEN)
stroke(on, (4, 8), (7, 12))
stroke(on, (7, 12), (12, 4))
write_png("check_on.png", on)
