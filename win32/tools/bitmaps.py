#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The pictures of the Windows program, from the PNG files rsvg-convert draws
# of res/icons at build time:
#   bitmaps.py strip OUT.bmp IN.png...   one 32-bit BMP, the pictures side by
#                                        side (the tool bar's strip, alpha kept)
#   bitmaps.py icon OUT.ico IN.png...    one icon file with every size; up to
#                                        48 pixels as bitmaps, larger ones as PNG
import struct
import sys
import zlib


def read_png(path):
    """Width, height and rows of RGBA bytes of an 8-bit RGBA or RGB PNG."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        sys.exit(f'{path}: not a PNG file')
    pos, idat, width, height, kind = 8, b'', 0, 0, 0
    while pos < len(data):
        (length,) = struct.unpack('>I', data[pos:pos + 4])
        tag, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if tag == b'IHDR':
            width, height, depth, kind, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if depth != 8 or kind not in (2, 6) or interlace:
                sys.exit(f'{path}: only 8-bit RGB(A) PNG without interlace is read')
        elif tag == b'IDAT':
            idat += body
    channels = 4 if kind == 6 else 3
    raw, stride = zlib.decompress(idat), width * channels
    rows, prev, pos = [], bytearray(stride), 0
    for _ in range(height):
        filt, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], prev[i - channels] if i >= channels else 0
            if filt == 1:
                line[i] = (line[i] + a) & 0xFF
            elif filt == 2:
                line[i] = (line[i] + b) & 0xFF
            elif filt == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif filt == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        prev = line
        if channels == 3:
            line = bytearray(b''.join(bytes(line[i:i + 3]) + b'\xff' for i in range(0, stride, 3)))
        rows.append(bytes(line))
    return width, height, rows


def bgra_bottom_up(width, rows):
    out = bytearray()
    for row in reversed(rows):
        for i in range(0, width * 4, 4):
            r, g, b, a = row[i:i + 4]
            out += bytes((b, g, r, a))
    return bytes(out)


def dib_header(width, height, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, 32, 0, image_size, 2835, 2835, 0, 0)


def strip(out, inputs):
    pictures = [read_png(p) for p in inputs]
    height = pictures[0][1]
    rows = [b''.join(p[2][y] for p in pictures) for y in range(height)]
    width = sum(p[0] for p in pictures)
    pixels = bgra_bottom_up(width, rows)
    header = dib_header(width, height, len(pixels))
    with open(out, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
        f.write(header + pixels)


def icon(out, inputs):
    images = []
    for path in inputs:
        width, height, rows = read_png(path)
        if width > 48:
            with open(path, 'rb') as f:
                images.append((width, height, f.read()))
            continue
        pixels = bgra_bottom_up(width, rows)
        mask = bytes(((width + 31) // 32 * 4) * height)  # every pixel drawn: the alpha decides
        images.append((width, height, dib_header(width, height * 2, 0) + pixels + mask))
    offset = 6 + 16 * len(images)
    body = struct.pack('<HHH', 0, 1, len(images))
    for width, height, data in images:
        body += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, 'wb') as f:
        f.write(body + b''.join(data for _, _, data in images))


if __name__ == '__main__':
    if len(sys.argv) < 4 or sys.argv[1] not in ('strip', 'icon'):
        sys.exit('usage: bitmaps.py strip|icon OUT IN.png...')
    (strip if sys.argv[1] == 'strip' else icon)(sys.argv[2], sys.argv[3:])
