#!/usr/bin/env python3
"""Draws the demo's toolbar and indicator bitmaps and its icon.

Writes 4-bit uncompressed BMP files and a one-image 16 x 16 ICO file in the
standard 16-colour palette into the given directory (default: resources/
next to this script).  Run it again after changing a picture and commit the
files it writes.
"""
import os
import struct
import sys

# The standard 16-colour palette, in its usual index order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, DARK_GREY, RED, YELLOW, BLUE, WHITE = 0, 4, 7, 8, 9, 11, 12, 15

# 5 x 7 capitals: one string per row, '#' is ink.
FONT = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."],
    "I": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
}


def canvas(width, height, colour=GREY):
    return [[colour] * width for _ in range(height)]


def put(img, x, y, colour):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = colour


def line(img, x0, y0, x1, y1, colour):
    steps = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(steps + 1):
        put(img, x0 + round((x1 - x0) * i / steps), y0 + round((y1 - y0) * i / steps), colour)


def disc(img, cx, cy, r, colour):
    for y in range(len(img)):
        for x in range(len(img[0])):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                img[y][x] = colour


def ring(img, cx, cy, r_out, r_in, colour):
    for y in range(len(img)):
        for x in range(len(img[0])):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if r_in * r_in < d <= r_out * r_out:
                img[y][x] = colour


def word(img, text, right, colour=BLACK):
    """Writes text so that its last column ends at x = right."""
    x = right - (len(text) * 6 - 1) + 1
    top = (len(img) - 7) // 2
    for ch in text:
        for dy, row in enumerate(FONT[ch]):
            for dx, cell in enumerate(row):
                if cell == "#":
                    put(img, x + dx, top + dy, colour)
        x += 6


def grid_sketch(img):
    """A small receiver grid: a framed square crossed by meridians and parallels."""
    left, top, size = 4, 3, 15
    for i in range(0, size, 4):
        line(img, left + i, top, left + i, top + size - 1, BLUE)
        line(img, left, top + i, left + size - 1, top + i, BLUE)
    line(img, left + size - 1, top, left + size - 1, top + size - 1, NAVY)
    line(img, left, top + size - 1, left + size - 1, top + size - 1, NAVY)


def toolbar_go():
    img = canvas(70, 21)
    grid_sketch(img)
    word(img, "GO", 65)
    return img


def toolbar_stop():
    img = canvas(70, 21)
    grid_sketch(img)
    for t in range(-1, 2):
        line(img, 2, 18 + t, 21, 1 + t, RED)
    word(img, "STOP", 65)
    return img


def toolbar_about():
    img = canvas(70, 21)
    ring(img, 11, 10, 8.5, 6.5, BLUE)
    disc(img, 11, 10, 6.5, WHITE)
    for y in (5, 6):
        line(img, 10, y, 12, y, BLUE)
    for y in range(8, 15):
        line(img, 10, y, 12, y, BLUE)
    line(img, 9, 8, 9, 8, BLUE)
    line(img, 9, 15, 13, 15, BLUE)
    word(img, "ABOUT", 65)
    return img


def toolbar_exit():
    img = canvas(70, 21)
    disc(img, 9, 3, 1.5, RED)                    # head
    line(img, 8, 5, 6, 11, RED)                  # body, leaning forward
    line(img, 7, 5, 5, 11, RED)
    line(img, 7, 7, 11, 8, RED)                  # front arm
    line(img, 7, 7, 3, 9, RED)                   # back arm
    line(img, 6, 11, 10, 14, RED)                # front thigh
    line(img, 10, 14, 9, 18, RED)                # front shin
    line(img, 5, 11, 4, 15, RED)                 # back thigh
    line(img, 4, 15, 1, 17, RED)                 # back shin
    for t in (-1, 0, 1):
        line(img, 14, 10 + t, 24, 10 + t, RED)   # arrow shaft
    for i in range(5):
        line(img, 22 + i, 5 + i, 22 + i, 15 - i, RED)
    word(img, "EXIT", 65)
    return img


def indicator_lit():
    img = canvas(21, 14)
    disc(img, 10, 6.5, 5.5, BLACK)
    disc(img, 10, 6.5, 4.3, RED)
    return img


def indicator_dark():
    return canvas(21, 14)


def icon():
    img = canvas(16, 16, NAVY)
    ring(img, 7.5, 7.5, 7.6, 6.2, YELLOW)
    disc(img, 7.5, 4, 1.2, YELLOW)               # head
    line(img, 7, 5, 7, 10, YELLOW)
    line(img, 8, 5, 8, 10, YELLOW)
    line(img, 4, 7, 11, 7, YELLOW)               # arms
    line(img, 7, 10, 5, 13, YELLOW)              # legs
    line(img, 8, 10, 10, 13, YELLOW)
    return img


def packed_rows(img):
    """Bottom-up rows of 4-bit pixels, each padded to a multiple of 4 bytes."""
    width = len(img[0])
    stride = ((width * 4 + 31) // 32) * 4
    rows = []
    for row in reversed(img):
        data = bytearray(stride)
        for x, colour in enumerate(row):
            data[x // 2] |= colour << (4 if x % 2 == 0 else 0)
        rows.append(bytes(data))
    return b"".join(rows)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 2835, 2835, 16, 16)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def bmp_bytes(img):
    pixels = packed_rows(img)
    header = info_header(len(img[0]), len(img), len(pixels)) + palette_bytes()
    offset = 14 + len(header)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + pixels


def ico_bytes(img):
    size = len(img)
    colour = packed_rows(img)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)              # all zero: every pixel opaque
    body = info_header(size, size * 2, len(colour) + len(mask)) + palette_bytes() + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(body), 6 + 16)
    return directory + entry + body


OUTPUTS = [
    ("toolbar_go.bmp", bmp_bytes, toolbar_go),
    ("toolbar_stop.bmp", bmp_bytes, toolbar_stop),
    ("toolbar_about.bmp", bmp_bytes, toolbar_about),
    ("toolbar_exit.bmp", bmp_bytes, toolbar_exit),
    ("indicator_lit.bmp", bmp_bytes, indicator_lit),
    ("indicator_dark.bmp", bmp_bytes, indicator_dark),
    ("demo.ico", ico_bytes, icon),
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    for name, encode, draw in OUTPUTS:
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(encode(draw()))


if __name__ == "__main__":
    main()
