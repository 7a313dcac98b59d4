#!/usr/bin/env python3
"""Draws the control panel's icons and writes them as .ico files (32-bit BGRA images with an
AND mask) into icons/ beside this script. Run it again after changing a drawing; the .ico files
are committed, so the build does not need Python.

    python3 make_icons.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "icons")

CLEAR = (0, 0, 0, 0)


def canvas(w, h, colour=CLEAR):
    return [[colour for _ in range(w)] for _ in range(h)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(len(img), y1)):
        for x in range(max(0, x0), min(len(img[0]), x1)):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    rect(img, x0, y0, x1, y0 + 1, colour)
    rect(img, x0, y1 - 1, x1, y1, colour)
    rect(img, x0, y0, x0 + 1, y1, colour)
    rect(img, x1 - 1, y0, x1, y1, colour)


def line(img, x0, y0, x1, y1, colour):
    steps = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(steps + 1):
        x = round(x0 + (x1 - x0) * i / steps)
        y = round(y0 + (y1 - y0) * i / steps)
        if 0 <= y < len(img) and 0 <= x < len(img[0]):
            img[y][x] = colour


def thick_line(img, x0, y0, x1, y1, colour):
    line(img, x0, y0, x1, y1, colour)
    line(img, x0, y0 + 1, x1, y1 + 1, colour)


# 5 x 7 letters for the logo
GLYPHS = {
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
}


def text(img, x, y, word, colour, scale=1):
    for ch in word:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    rect(img, x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, colour)
        x += 6 * scale


NAVY = (20, 50, 120, 255)
BLUE = (40, 110, 220, 255)
GREEN = (30, 170, 60, 255)
ORANGE = (240, 140, 20, 255)
GREY = (150, 150, 150, 255)
DARK = (60, 60, 60, 255)
WHITE = (255, 255, 255, 255)
YELLOW = (250, 210, 40, 255)
RED = (220, 30, 30, 255)


def program_icon(size):
    img = canvas(size, size)
    s = size / 32.0
    rect(img, 0, 0, size, size, NAVY)
    frame(img, 0, 0, size, size, BLUE)
    # an impedance curve over a grid
    for gx in range(1, 4):
        rect(img, int(gx * 8 * s), int(3 * s), int(gx * 8 * s) + 1, int(29 * s), (50, 80, 150, 255))
    pts = [(3, 8), (9, 10), (14, 15), (19, 22), (24, 25), (29, 26)]
    for (xa, ya), (xb, yb) in zip(pts, pts[1:]):
        thick_line(img, int(xa * s), int(ya * s), int(xb * s), int(yb * s), YELLOW)
    return img


def logo():
    img = canvas(77, 23, CLEAR)
    rect(img, 0, 0, 77, 23, NAVY)
    frame(img, 0, 0, 77, 23, BLUE)
    text(img, 3, 4, "OSTREL", WHITE, 2)
    # the graph stroke under the letters
    rect(img, 3, 20, 74, 21, YELLOW)
    return img


def folder_icon():
    img = canvas(20, 20)
    rect(img, 2, 4, 9, 7, ORANGE)
    rect(img, 2, 6, 18, 16, ORANGE)
    frame(img, 2, 6, 18, 16, (170, 90, 10, 255))
    # a page of numbers in front
    rect(img, 6, 2, 14, 11, WHITE)
    frame(img, 6, 2, 14, 11, DARK)
    for y in (4, 6, 8):
        rect(img, 8, y, 12, y + 1, DARK)
    return img


def disk_icon():
    img = canvas(20, 20)
    rect(img, 2, 2, 18, 18, BLUE)
    frame(img, 2, 2, 18, 18, NAVY)
    rect(img, 5, 3, 15, 9, WHITE)
    rect(img, 6, 12, 14, 18, GREY)
    rect(img, 11, 13, 13, 17, DARK)
    return img


def activity_icon(sent, received):
    """Two arrows: up (sent) lit green, down (received) lit orange; unlit ones grey."""
    img = canvas(16, 16)
    up = GREEN if sent else GREY
    down = ORANGE if received else GREY
    # up arrow on the left
    rect(img, 3, 5, 6, 15, up)
    for i in range(4):
        rect(img, 4 - i, 1 + i, 5 + i, 2 + i, up)
    # down arrow on the right
    rect(img, 10, 1, 13, 11, down)
    for i in range(4):
        rect(img, 11 - i, 14 - i, 12 + i, 15 - i, down)
    return img


def notice_icon(lit):
    img = canvas(16, 16)
    colour = YELLOW if lit else GREY
    edge = (150, 110, 0, 255) if lit else DARK
    # a round lamp
    for y in range(16):
        for x in range(16):
            if (x - 7.5) ** 2 + (y - 7.5) ** 2 <= 49:
                img[y][x] = colour
            if 36 <= (x - 7.5) ** 2 + (y - 7.5) ** 2 <= 49:
                img[y][x] = edge
    if lit:
        rect(img, 7, 3, 9, 10, DARK)
        rect(img, 7, 11, 9, 13, DARK)
    return img


def ico_entry_image(img):
    """One BITMAPINFOHEADER image of an .ico file: bottom-up BGRA rows, then the AND mask."""
    h = len(img)
    w = len(img[0])
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(img):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(img):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def write_ico(name, images):
    data = [ico_entry_image(img) for img in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, data):
        w = len(img[0])
        h = len(img)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in data:
        out += blob
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out)


def main():
    os.makedirs(OUT, exist_ok=True)
    write_ico("program.ico", [program_icon(32), program_icon(16), program_icon(48)])
    write_ico("logo.ico", [logo()])
    write_ico("config_file.ico", [folder_icon()])
    write_ico("log_file.ico", [disk_icon()])
    write_ico("transfer_none.ico", [activity_icon(False, False)])
    write_ico("transfer_sent.ico", [activity_icon(True, False)])
    write_ico("transfer_received.ico", [activity_icon(False, True)])
    write_ico("transfer_both.ico", [activity_icon(True, True)])
    write_ico("notice_off.ico", [notice_icon(False)])
    write_ico("notice_on.ico", [notice_icon(True)])


if __name__ == "__main__":
    main()
