#!/usr/bin/env python3
"""Turns X window dumps (xwd, ZPixmap, 24 or 32 bits per pixel) into PNG files.

Usage: xwd_to_png.py IN.xwd [OUT.png]   (OUT defaults to IN with .png)
"""
import struct
import sys
import zlib


def read_xwd(data):
    if len(data) < 100:
        raise ValueError("too short for an xwd header")
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format = fields[0], fields[1], fields[2]
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    ncolors = fields[19]
    if version != 7 or pixmap_format != 2:
        raise ValueError("only version 7 ZPixmap dumps are read")
    if bits_per_pixel not in (24, 32):
        raise ValueError("only 24 and 32 bits per pixel are read")
    start = header_size + 12 * ncolors
    if start + bytes_per_line * height > len(data):
        raise ValueError("the image is cut short")
    step = bits_per_pixel // 8
    order = "<" if byte_order == 0 else ">"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * step]
        out = bytearray(width * 3)
        for x in range(width):
            chunk = line[x * step:(x + 1) * step]
            if step == 3:
                chunk = chunk + b"\0" if order == "<" else b"\0" + chunk
            pixel = struct.unpack(order + "I", chunk)[0]
            out[3 * x] = (pixel & red_mask) >> rs
            out[3 * x + 1] = (pixel & green_mask) >> gs
            out[3 * x + 2] = (pixel & blue_mask) >> bs
        rows.append(bytes(out))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    source = argv[1]
    target = argv[2] if len(argv) == 3 else source.rsplit(".", 1)[0] + ".png"
    with open(source, "rb") as dump:
        width, height, rows = read_xwd(dump.read())
    write_png(target, width, height, rows)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
