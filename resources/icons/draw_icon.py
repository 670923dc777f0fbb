#!/usr/bin/env python3
"""Draws the program icon: a telegraph key, as 32x32 and 16x16 PNGs in the 16-colour palette and as
an SVG of the 32x32 drawing. Plain Python (zlib, struct), so it runs anywhere:

    python3 resources/icons/draw_icon.py resources/icons

With --ico FILE it writes both images as one Windows .ico instead (16-colour bitmaps, as the
Windows program's resources take them); the build does that.
"""
import os
import struct
import sys
import zlib

# The classic 16-colour palette; every pixel is one of these, fully opaque.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_RED, LIGHT_GREY, DARK_GREY, RED, YELLOW, WHITE = 0, 1, 7, 8, 9, 11, 15

# Shapes in drawing order, in pixels: ("rect", x0, y0, x1, y1, colour) with exclusive right and
# bottom, ("ellipse", cx, cy, rx, ry, colour) covering the pixels whose centres lie inside.
LARGE = (LIGHT_GREY, [
    ("rect", 2, 21, 30, 27, DARK_RED),      # base
    ("rect", 2, 21, 30, 22, RED),           # lit top edge of the base
    ("rect", 2, 27, 30, 28, BLACK),         # its shadow
    ("rect", 3, 28, 7, 29, BLACK),          # feet
    ("rect", 25, 28, 29, 29, BLACK),
    ("rect", 5, 14, 9, 21, BLACK),          # pivot post
    ("rect", 6, 15, 8, 17, YELLOW),         # pivot screw
    ("rect", 22, 15, 23, 21, DARK_GREY),    # return spring
    ("rect", 15, 18, 19, 21, YELLOW),       # lower contact, on the base
    ("rect", 15, 14, 19, 16, YELLOW),       # upper contact, under the lever
    ("rect", 3, 12, 27, 14, BLACK),         # lever arm
    ("rect", 20, 11, 31, 12, BLACK),        # knob skirt
    ("ellipse", 25.5, 7.5, 4, 3.8, BLACK),  # knob
    ("rect", 23, 5, 25, 6, DARK_GREY),      # shine on the knob
])
SMALL = (WHITE, [
    ("rect", 1, 11, 15, 14, BLACK),         # base
    ("rect", 2, 7, 4, 11, BLACK),           # pivot post
    ("rect", 7, 9, 10, 11, YELLOW),         # lower contact
    ("rect", 7, 7, 10, 8, YELLOW),          # upper contact
    ("rect", 1, 6, 14, 7, BLACK),           # lever arm
    ("ellipse", 12.5, 4, 2.6, 2.2, BLACK),  # knob
])


def rasterise(size, drawing):
    background, shapes = drawing
    pixels = [[background] * size for _ in range(size)]
    for shape in shapes:
        kind, colour = shape[0], shape[-1]
        for y in range(size):
            for x in range(size):
                if kind == "rect":
                    x0, y0, x1, y1 = shape[1:5]
                    inside = x0 <= x < x1 and y0 <= y < y1
                else:
                    cx, cy, rx, ry = shape[1:5]
                    inside = ((x + 0.5 - cx) / rx) ** 2 + ((y + 0.5 - cy) / ry) ** 2 <= 1.0
                if inside:
                    pixels[y][x] = colour
    return pixels


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, pixels):
    size = len(pixels)
    rows = b""
    for row in pixels:  # 4 bits a pixel, filter type 0
        rows += b"\x00" + bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
    header = struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0)
    palette = b"".join(bytes(colour) for colour in PALETTE)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", header))
        f.write(png_chunk(b"PLTE", palette))
        f.write(png_chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(png_chunk(b"IEND", b""))


def write_ico(path, images):
    """Writes each image (a size x size list of palette rows) as a 4-bit bitmap in one .ico."""
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    entries, bodies = [], []
    offset = 6 + 16 * len(images)
    for pixels in images:
        size = len(pixels)
        header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, 0, 0, 0, 16, 0)
        xor_rows, and_rows = [], []
        for row in reversed(pixels):  # bitmaps run bottom-up
            packed = bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
            xor_rows.append(packed + b"\0" * (-len(packed) % 4))
            and_rows.append(b"\0" * (((size + 31) // 32) * 4))  # fully opaque
        body = header + palette + b"".join(xor_rows) + b"".join(and_rows)
        entries.append(struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(body), offset))
        bodies.append(body)
        offset += len(body)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(bodies))


def write_svg(path, drawing, size):
    background, shapes = drawing
    hex_of = lambda index: "#%02x%02x%02x" % PALETTE[index]
    lines = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
        % (size * 4, size * 4, size, size),
        '  <title>Kestrin</title>',
        '  <rect width="%d" height="%d" fill="%s"/>' % (size, size, hex_of(background)),
    ]
    for shape in shapes:
        kind, colour = shape[0], hex_of(shape[-1])
        if kind == "rect":
            x0, y0, x1, y1 = shape[1:5]
            lines.append('  <rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>'
                         % (x0, y0, x1 - x0, y1 - y0, colour))
        else:
            cx, cy, rx, ry = shape[1:5]
            lines.append('  <ellipse cx="%g" cy="%g" rx="%g" ry="%g" fill="%s"/>'
                         % (cx, cy, rx, ry, colour))
    lines.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--ico":
        write_ico(sys.argv[2], [rasterise(32, LARGE), rasterise(16, SMALL)])
        return
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(out, "kestrin-32.png"), rasterise(32, LARGE))
    write_png(os.path.join(out, "kestrin-16.png"), rasterise(16, SMALL))
    write_svg(os.path.join(out, "kestrin.svg"), LARGE, 32)


if __name__ == "__main__":
    main()
