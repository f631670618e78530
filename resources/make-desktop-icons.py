#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the desktop icons from the pixel art of make-icon.py: PNGs for the hicolor theme at
16, 32, 48, 64, 128 and 256 pixels (each an exact multiple of the 16- or 32-pixel drawing, so no
pixel is smeared) and a scalable SVG of the 32-pixel drawing.

Run from anywhere: python3 resources/make-desktop-icons.py [output folder]
"""
import os
import runpy
import struct
import sys
import types
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
# The drawings of the Windows icon, without running its main().
icon = types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, 'make-icon.py'), run_name='icon'))

# size: (drawing, scale)
SIZES = {16: ('small', 1), 32: ('big', 1), 48: ('small', 3), 64: ('big', 2), 128: ('big', 4),
         256: ('big', 8)}


def rgba(colour):
    if colour is icon.CLEAR:
        return (0, 0, 0, 0)
    return icon.PALETTE[colour] + (255,)


def png(img, scale):
    size = len(img) * scale
    raw = bytearray()
    for row in img:
        line = bytearray([0])  # filter type: none
        for c in row:
            line += bytes(rgba(c)) * scale
        raw += bytes(line) * scale

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def svg(img):
    size = len(img)
    rects = []
    for y, row in enumerate(img):
        x = 0
        while x < size:  # one rectangle per run of a colour along a row
            c = row[x]
            end = x
            while end + 1 < size and row[end + 1] == c:
                end += 1
            if c is not icon.CLEAR:
                r, g, b = icon.PALETTE[c]
                rects.append(f'<rect x="{x}" y="{y}" width="{end - x + 1}" height="1" '
                             f'fill="#{r:02x}{g:02x}{b:02x}"/>')
            x = end + 1
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
            f'viewBox="0 0 {size} {size}" shape-rendering="crispEdges">\n'
            + '\n'.join(rects) + '\n</svg>\n')


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, 'icons')
    os.makedirs(out, exist_ok=True)
    drawings = {'small': icon.small(), 'big': icon.big()}
    for size, (name, scale) in SIZES.items():
        with open(os.path.join(out, f'{size}.png'), 'wb') as f:
            f.write(png(drawings[name], scale))
    with open(os.path.join(out, 'scalable.svg'), 'w', encoding='utf-8') as f:
        f.write(svg(drawings['big']))


if __name__ == '__main__':
    main()
