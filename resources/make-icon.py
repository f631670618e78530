#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes pictrane.ico: a landscape picture handed to a calculator whose screen shows it in
black and white. Three images: 32x32 in 2 colours, 32x32 in 16 colours, 16x16 in 16 colours;
then, for large and high-dpi displays, 48x48 and 256x256 in 32-bit colour with alpha, the same
drawings enlarged by whole pixels (as the desktop icons are).

Run from anywhere: python3 resources/make-icon.py [output.ico]
"""
import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKGREEN, NAVY, TEAL, SILVER, GRAY, GREEN, YELLOW, CYAN, WHITE = 0, 2, 4, 6, 7, 8, 10, 11, 14, 15
CLEAR = None


def blank(size):
    return [[CLEAR] * size for _ in range(size)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        img[y0][x] = img[y1][x] = colour
    for y in range(y0, y1 + 1):
        img[y][x0] = img[y][x1] = colour


def disc(img, cx, cy, r, colour, clip):
    x0, y0, x1, y1 = clip
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                img[y][x] = colour


def hill_top(x, left, width, top, bottom):
    """Row of the hill's outline at column x: it rises from the left and falls away."""
    t = (x - left) / max(width - 1, 1)
    height = 1 - 2.5 * (t - 0.25) ** 2
    return round(bottom - max(height, 0) * (bottom - top))


def sun_at(x0, y0, x1, y1):
    w, h = x1 - x0 + 1, y1 - y0 + 1
    return x0 + w * 0.72, y0 + h * 0.3


def landscape(img, x0, y0, x1, y1, sky, sun, ground, sun_r):
    rect(img, x0, y0, x1, y1, sky)
    w, h = x1 - x0 + 1, y1 - y0 + 1
    cx, cy = sun_at(x0, y0, x1, y1)
    disc(img, cx, cy, sun_r, sun, (x0, y0, x1, y1))
    for x in range(x0, x1 + 1):
        top = hill_top(x, x0, w, y0 + h * 0.5, y0 + h * 0.9)
        for y in range(top, y1 + 1):
            img[y][x] = ground


def calculator(img, x0, y0, x1, y1, screen_rows, keys):
    rect(img, x0, y0, x1, y1, NAVY)
    frame(img, x0, y0, x1, y1, BLACK)
    sx0, sy0, sx1, sy1 = x0 + 2, y0 + 2, x1 - 2, y0 + 1 + screen_rows
    rect(img, sx0, sy0, sx1, sy1, SILVER)
    frame(img, sx0 - 1, sy0 - 1, sx1 + 1, sy1 + 1, BLACK)
    # The picture again, one bit per pixel: a black sun over a black hill.
    landscape(img, sx0, sy0, sx1, sy1, SILVER, BLACK, BLACK, max(1.0, (sy1 - sy0) * 0.2))
    # Rows of keys below the screen.
    ky = sy1 + 3
    while ky + keys[1] - 1 <= y1 - 2:
        kx = x0 + 2
        while kx + keys[0] - 1 <= x1 - 2:
            rect(img, kx, ky, kx + keys[0] - 1, ky + keys[1] - 1, WHITE)
            kx += keys[0] + 1
        ky += keys[1] + 1


def big():
    img = blank(32)
    # The picture, tilted back behind the calculator.
    rect(img, 1, 1, 22, 18, WHITE)
    frame(img, 1, 1, 22, 18, BLACK)
    landscape(img, 3, 3, 20, 16, CYAN, YELLOW, GREEN, 2.6)
    for x in range(3, 21):  # a darker rim along the hill
        img[hill_top(x, 3, 18, 3 + 14 * 0.5, 3 + 14 * 0.9)][x] = DKGREEN
    calculator(img, 13, 9, 30, 30, 8, (3, 2))
    return img


def small():
    img = blank(16)
    rect(img, 0, 0, 11, 9, WHITE)
    frame(img, 0, 0, 11, 9, BLACK)
    landscape(img, 1, 1, 10, 8, CYAN, YELLOW, GREEN, 1.2)
    rect(img, 6, 4, 15, 15, NAVY)
    frame(img, 6, 4, 15, 15, BLACK)
    rect(img, 8, 6, 13, 9, SILVER)
    for x, top in ((8, 8), (9, 7), (10, 8), (11, 9)):
        rect(img, x, top, x, 9, BLACK)
    img[6][12] = img[7][12] = img[6][13] = img[7][13] = BLACK
    for ky in (11, 13):
        for kx in (8, 10, 12):
            img[ky][kx] = WHITE
    return img


def scaled(img, factor):
    """Each pixel as a factor x factor block, so the drawing stays sharp."""
    return [[c for c in row for _ in range(factor)] for row in img for _ in range(factor)]


def monochrome(img):
    """Two colours: light colours white, dark ones black, the greens half-toned and the sun
    drawn round."""
    light = {WHITE, SILVER, CYAN, YELLOW}
    out = blank(len(img))
    for y, row in enumerate(img):
        for x, c in enumerate(row):
            if c is CLEAR:
                continue
            if c in (GREEN, DKGREEN):
                out[y][x] = BLACK if (x + y) % 2 == 0 or c == DKGREEN else WHITE
            elif c == YELLOW:
                edge = any(img[y + dy][x + dx] != YELLOW
                           for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                out[y][x] = BLACK if edge else WHITE
            else:
                out[y][x] = WHITE if c in light else BLACK
    return out


def row_bytes(bits_per_pixel, width):
    return ((width * bits_per_pixel + 31) // 32) * 4


def dib(img, bits):
    size = len(img)
    colours = 0 if bits == 32 else 1 << bits
    palette = [] if bits == 32 else [(0, 0, 0), (255, 255, 255)] if bits == 1 else PALETTE
    index = (lambda c: 1 if c == WHITE else 0) if bits == 1 else (lambda c: c)
    xor_stride, and_stride = row_bytes(bits, size), row_bytes(1, size)
    xor, mask = bytearray(), bytearray()
    for row in reversed(img):  # bottom-up
        line, mline = bytearray(xor_stride), bytearray(and_stride)
        for x, c in enumerate(row):
            value = 0 if c is CLEAR else index(c)
            if bits == 32:  # blue, green, red, alpha
                r, g, b = (0, 0, 0) if c is CLEAR else PALETTE[c]
                line[x * 4:x * 4 + 4] = bytes((b, g, r, 0 if c is CLEAR else 255))
            elif bits == 4:
                line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            else:
                line[x // 8] |= value << (7 - x % 8)
            if c is CLEAR:
                mline[x // 8] |= 1 << (7 - x % 8)
        xor += line
        mask += mline
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    quads = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    assert len(palette) == colours
    return header + quads + bytes(xor) + bytes(mask)


def icon(images):
    """images: (pixels, bits per pixel) in directory order."""
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b'', b''
    for img, bits in images:
        blob = dib(img, bits)
        size = len(img)
        colours = 0 if bits >= 8 else 1 << bits
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bits,
                               len(blob), offset + len(data))
        data += blob
    return directory + entries + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, 'pictrane.ico')
    large = big()
    with open(target, 'wb') as out:
        out.write(icon([(monochrome(large), 1), (large, 4), (small(), 4),
                        (scaled(small(), 3), 32), (scaled(large, 8), 32)]))


if __name__ == '__main__':
    main()
