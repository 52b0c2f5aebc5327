#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs square PNG pictures into one Windows icon file, each picture as it is
# (Windows Vista and later, and wine, read PNG entries of any size).
#
#   python3 scripts/png-to-ico.py OUT.ico IN.png...
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG picture")
    return struct.unpack(">II", data[16:24])


def main(argv):
    if len(argv) < 3:
        print("usage: png-to-ico.py OUT.ico IN.png...", file=sys.stderr)
        return 2
    pictures = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        width, height = png_size(data)
        if width != height or width > 256:
            print(f"{name}: {width}x{height}: an icon picture is square, 256 pixels at most",
                  file=sys.stderr)
            return 1
        pictures.append((width, data))
    pictures.sort()
    out = struct.pack("<HHH", 0, 1, len(pictures))
    offset = 6 + 16 * len(pictures)
    for size, data in pictures:
        # A side of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in pictures:
        out += data
    with open(argv[1], "wb") as f:
        f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
