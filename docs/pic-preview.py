#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws a .89i picture as the calculator screen shows it (3x), for the README:
   docs/pic-preview.py picture.89i out.png"""
import struct,sys,zlib
def pic(path):
    d=open(path,'rb').read(); i=d.index(b'\xa5\x5a')+2+4
    size,h,w=struct.unpack('>HHH',d[i:i+6]); rows=d[i+6:]; bpr=(w+7)//8
    return w,h,[[(rows[y*bpr+x//8]>>(7-x%8))&1 for x in range(w)] for y in range(h)]
def png(path,pixels,scale=3):
    h=len(pixels); w=len(pixels[0])
    raw=b''
    for y in range(h*scale):
        row=b'\0'
        for x in range(w*scale):
            row+=bytes((35,45,35) if pixels[y//scale][x//scale] else (190,205,175))
        raw+=row
    c=lambda t,d: struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d)&0xffffffff)
    open(path,'wb').write(b'\x89PNG\r\n\x1a\n'+c(b'IHDR',struct.pack('>IIBBBBB',w*scale,h*scale,8,2,0,0,0))+c(b'IDAT',zlib.compress(raw,9))+c(b'IEND',b''))
# the calculator's 160x100 screen with the picture at its top left
w,h,p=pic(sys.argv[1])
screen=[[ (p[y][x] if y<h and x<w else 0) for x in range(160)] for y in range(100)]
png(sys.argv[2],screen)
