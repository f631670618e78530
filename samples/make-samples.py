#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the sample bitmaps shipped with Pictrane Converter (run it to make them anew)."""
import math
import os
import struct


def bmp(path, w, h, bpp, pixel, palette=None):
    """Writes a bottom-up BMP; pixel(x, y) gives (r, g, b) or a palette index."""
    row = ((w * bpp + 31) // 32) * 4
    data = bytearray()
    for y in reversed(range(h)):
        bits = bytearray(row)
        for x in range(w):
            v = pixel(x, y)
            if bpp == 24:
                bits[x * 3:x * 3 + 3] = bytes((v[2], v[1], v[0]))
            elif bpp == 8:
                bits[x] = v
            elif bpp == 4:
                bits[x // 2] |= v << (4 if x % 2 == 0 else 0)
            elif bpp == 1:
                bits[x // 8] |= v << (7 - x % 8)
        data += bits
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in (palette or []))
    offset = 14 + 40 + len(pal)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(data), 2835, 2835, len(palette or []), 0)
    with open(path, "wb") as f:
        f.write(header + info + pal + data)


here = os.path.dirname(os.path.abspath(__file__))
out = lambda name: os.path.join(here, name)

# 24 bits: a sun over hills, larger than the calculator's screen, so it is scaled down.
def landscape(x, y):
    if (x - 230) ** 2 + (y - 50) ** 2 < 28 ** 2:
        return (230, 90, 20)
    if y > 140 + 25 * math.sin(x / 30.0):
        return (40, 110, 40)
    return (150, 200, 250)
bmp(out("landscape.bmp"), 320, 200, 24, landscape)

# 1 bit: a checkerboard of 8-pixel squares.
bmp(out("checkerboard.bmp"), 96, 64, 1, lambda x, y: (x // 8 + y // 8) % 2, [(255, 255, 255), (0, 0, 0)])

# 8 bits: a grey ramp that the threshold cuts in half.
bmp(out("grey ramp.bmp"), 128, 40, 8, lambda x, y: x * 2, [(i, i, i) for i in range(256)])

# 4 bits: a smiling face.
def face(x, y):
    d = (x - 40) ** 2 + (y - 40) ** 2
    if d > 38 ** 2:
        return 0
    if (x - 27) ** 2 + (y - 30) ** 2 < 25 or (x - 53) ** 2 + (y - 30) ** 2 < 25:
        return 1
    if 30 ** 2 > d > 24 ** 2 and y > 45:
        return 1
    return 2 if d > 36 ** 2 else 3
bmp(out("smiley.bmp"), 80, 80, 4, face, [(255, 255, 255), (0, 0, 0), (60, 60, 60), (255, 230, 80)])

# A name with characters the key notation treats specially, and letters outside ASCII.
bmp(out("Grüße (Weihnachten+2026).bmp"), 160, 100, 24,
    lambda x, y: (20, 20, 20) if (x // 10 + y // 10) % 3 == 0 or abs(x - y * 1.6) < 3 else (240, 240, 240))
