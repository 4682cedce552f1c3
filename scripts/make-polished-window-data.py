#!/usr/bin/env python3
"""Draws the polished window artwork: flat brushed grey bands, corners and
side edges, kept as PNG images in one property list (an array whose elements
1-8 are the polished set and 9-14 the flat set; element 0 is unused).

    scripts/make-polished-window-data.py data/images/program/PolishedWindowData.pol
"""
import plistlib
import struct
import sys
import zlib


def png(rows):
    """rows: list of rows (top first) of (r, g, b, a) tuples."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def grey(level):
    v = max(0, min(255, int(round(level))))
    return (v, v, v, 255)


FILL = 212      # the window body; the top tile's bottom-left pixel
EDGE = 150      # the thin outer line of the polished set


def band(width, height, top, bottom, brushed, outer_line_at):
    """A vertical gradient from top to bottom level; brushed rows alternate a
    little; outer_line_at: 'top', 'bottom' or None draws a darker edge row."""
    rows = []
    for y in range(height):
        t = y / max(1, height - 1)
        level = top + (bottom - top) * t
        if brushed and 0 < y < height - 1:
            level += 2 if y % 2 else -2
        rows.append([grey(level)] * width)
    if outer_line_at == "top":
        rows[0] = [grey(EDGE)] * width
    elif outer_line_at == "bottom":
        rows[-1] = [grey(EDGE)] * width
    return rows


def with_side_line(rows, side, level):
    out = []
    for row in rows:
        row = list(row)
        row[0 if side == "left" else -1] = grey(level)
        out.append(row)
    return out


def polished():
    top = dict(height=24, top=236, bottom=FILL, brushed=True, outer_line_at="top")
    bottom = dict(height=22, top=FILL, bottom=190, brushed=True, outer_line_at="bottom")
    top_tile = band(8, **top)
    top_tile[-1] = [grey(FILL)] * 8                       # the fill colour
    bottom_tile = band(8, **bottom)
    bottom_tile[0] = [grey(176)] * 8                      # the line under the content
    corner = lambda tile, side: with_side_line([row[:1] * 10 for row in tile], side, EDGE)
    return [
        png(corner(bottom_tile, "left")),                 # 1 bottom-left
        png(bottom_tile),                                 # 2 bottom tile
        png(corner(bottom_tile, "right")),                # 3 bottom-right
        png(corner(top_tile, "left")),                    # 4 top-left
        png(top_tile),                                    # 5 top tile
        png(corner(top_tile, "right")),                   # 6 top-right
        png([[grey(EDGE)] for _ in range(16)]),           # 7 left edge
        png([[grey(EDGE)] for _ in range(16)]),           # 8 right edge
    ]


def flat():
    top_tile = band(8, 22, 226, FILL, False, None)
    top_tile[-1] = [grey(FILL)] * 8
    bottom_tile = band(8, 22, FILL, 204, False, None)
    bottom_tile[0] = [grey(184)] * 8
    corner = lambda tile: [row[:1] * 10 for row in tile]
    return [png(corner(bottom_tile)), png(bottom_tile), png(corner(bottom_tile)),
            png(corner(top_tile)), png(top_tile), png(corner(top_tile))]


def main():
    elements = [png([[grey(FILL)]])] + polished() + flat()
    assert len(elements) == 15
    with open(sys.argv[1], "wb") as out:
        plistlib.dump(elements, out, fmt=plistlib.FMT_XML)


if __name__ == "__main__":
    main()
