#!/usr/bin/env python3
"""Draws Vexelor's application icon and writes it in the forms the builds need.

The icon is a small sprite of 1-bit cells (a cat's head) picked out of a dark
field of dim bit noise by the selection rectangle, in the viewer's own
colours. Every size is drawn on its own pixel grid, so the cells stay crisp
down to 16 x 16.

Python 3 standard library only (zlib and struct write the files), so the
build can run it on any host, also when cross-building.

  make_icon.py --png-dir DIR      DIR/vexelor-<N>.png for N in 16 24 32 48 64 128 256
  make_icon.py --header FILE      a C header with the RGBA pixels of the window icons
  make_icon.py --ico FILE         a Windows icon: 256 (PNG), 48, 32, 24, 16 (32-bit BMP)
"""

import argparse
import os
import struct
import sys
import zlib

PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)
WINDOW_SIZES = (16, 24, 32, 48, 64, 128)  # carried by the programs' windows
ICO_SIZES = (256, 48, 32, 24, 16)

# The sprite, eight cells square: a cat's head.
SPRITE = [
    "X......X",
    "XX....XX",
    "XXXXXXXX",
    "X..XX..X",
    "XXXXXXXX",
    "XXX..XXX",
    ".XXXXXX.",
    "..XXXX..",
]

FIELD = (14, 14, 22)          # the dark canvas
NOISE = (70, 70, 84)          # other bytes of the file, dimmed
CELL = (255, 255, 255)        # set bits
SELECTION = (127, 0, 255)     # the selection rectangle
PAST_END = (0, 0, 255)        # positions past the end of the file


def noise_bit(x, y):
    """A fixed scatter of bits, like code bytes around a sprite."""
    v = (x * 73856093) ^ (y * 19349663) ^ 0x5BD1E995
    v = (v ^ (v >> 13)) * 0x27D4EB2D & 0xFFFFFFFF
    return (v >> 7) & 3 == 0


def draw(size):
    """The icon at one size: a list of rows of (r, g, b, a)."""
    pitch = max(1, size // 12)                     # one cell of the sprite
    gap = pitch // 5 if pitch >= 5 else 0          # dark seam between big cells
    margin = max(1, pitch // 2)                    # room inside the selection
    line = max(1, size // 32)                      # selection line width
    sprite = 8 * pitch - gap
    box = sprite + 2 * (margin + line)
    left = (size - box) // 2
    top = (size - box) // 2 - (size // 16 if size >= 48 else 0)
    radius = max(1, size // 8)

    # Field with rounded corners, coverage sampled 4 x 4 per pixel.
    def coverage(x, y):
        inside = 0
        for sy in range(4):
            for sx in range(4):
                px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
                cx = min(max(px, radius), size - radius)
                cy = min(max(py, radius), size - radius)
                if (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius:
                    inside += 1
        return inside * 255 // 16

    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            row.append(FIELD + (coverage(x, y),))
        rows.append(row)

    def put(x, y, colour):
        if 0 <= x < size and 0 <= y < size and rows[y][x][3]:
            rows[y][x] = colour + (rows[y][x][3],)

    def fill(x0, y0, w, h, colour):
        for yy in range(y0, y0 + h):
            for xx in range(x0, x0 + w):
                put(xx, yy, colour)

    # Dim bits of the rest of the file, from the second row of cells on.
    if size >= 32:
        npitch = max(2, pitch // 2)
        ncell = npitch - (1 if npitch >= 3 else 0)
        inset = max(1, size // 16)
        for cy in range(inset, size - inset - npitch + 1, npitch):
            for cx in range(inset, size - inset - npitch + 1, npitch):
                if noise_bit(cx // npitch, cy // npitch):
                    fill(cx, cy, ncell, ncell, NOISE)
        # The end of the file: a blue band along the bottom.
        band = max(2, size // 12)
        fill(0, size - inset - band, size, band, PAST_END)

    # The selection: cleared inside, outlined, with the sprite's cells.
    fill(left, top, box, box, FIELD)
    fill(left, top, box, line, SELECTION)
    fill(left, top + box - line, box, line, SELECTION)
    fill(left, top, line, box, SELECTION)
    fill(left + box - line, top, line, box, SELECTION)
    sx, sy = left + line + margin, top + line + margin
    for r, bits in enumerate(SPRITE):
        for c, bit in enumerate(bits):
            if bit == "X":
                fill(sx + c * pitch, sy + r * pitch, pitch - gap, pitch - gap, CELL)
    return rows


def png_bytes(rows):
    """An 8-bit RGBA PNG of the rows."""
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp_entry(rows):
    """An icon entry as a 32-bit bitmap: header, BGRA rows bottom-up, AND mask."""
    size = len(rows)
    pixels = b"".join(bytes((px[2], px[1], px[0], px[3])) for row in reversed(rows) for px in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def ico_bytes(images):
    """A .ico holding the sizes given: the 256 entry PNG-compressed."""
    entries = [(size, png_bytes(images[size]) if size >= 256 else bmp_entry(images[size])) for size in ICO_SIZES]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in entries)


def header_text(images):
    lines = ["// Made by tools/make_icon.py: the application icon, 8-bit RGBA rows, top row first.",
             "#pragma once", "", "struct AppIconImage {", "    int size;", "    const unsigned char* rgba;", "};", ""]
    for size in WINDOW_SIZES:
        data = bytes(v for row in images[size] for px in row for v in px)
        lines.append("static const unsigned char kAppIcon%d[] = {" % size)
        for i in range(0, len(data), 24):
            lines.append("    " + ",".join(str(b) for b in data[i:i + 24]) + ",")
        lines.append("};")
    lines.append("")
    lines.append("static const AppIconImage kAppIcons[] = {")
    lines += ["    {%d, kAppIcon%d}," % (s, s) for s in WINDOW_SIZES]
    lines += ["};", "static const int kAppIconCount = %d;" % len(WINDOW_SIZES), ""]
    return "\n".join(lines)


def write(path, data):
    folder = os.path.dirname(path)
    if folder:
        os.makedirs(folder, exist_ok=True)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--png-dir", help="folder for vexelor-<N>.png")
    parser.add_argument("--header", help="C header with the window icons' pixels")
    parser.add_argument("--ico", help="Windows icon file")
    args = parser.parse_args(argv)
    if not (args.png_dir or args.header or args.ico):
        parser.error("nothing to write: give --png-dir, --header or --ico")
    images = {size: draw(size) for size in PNG_SIZES}
    if args.png_dir:
        for size in PNG_SIZES:
            write(os.path.join(args.png_dir, "vexelor-%d.png" % size), png_bytes(images[size]))
    if args.header:
        write(args.header, header_text(images).encode())
    if args.ico:
        write(args.ico, ico_bytes(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
