#!/usr/bin/env python3
"""Draws the program's icon and writes it as a .ico file: one 48 x 48 image, 32 bits per pixel.

The picture is a flash chip with its pins and a downward arrow, the firmware going in. It is drawn
from geometry alone, so the same script always writes the same bytes."""
import struct
import sys

SIZE = 48


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def pixel(x, y):
    """The colour at the pixel's centre, as (red, green, blue, alpha)."""
    px, py = x + 0.5, y + 0.5
    # The arrow: a shaft and a head, over the chip.
    if 20.5 <= px <= 27.5 and 10 <= py <= 25:
        return (255, 200, 40, 255)
    if 25 <= py <= 35 and abs(px - 24) <= (35 - py) * 1.1:
        return (255, 200, 40, 255)
    # The chip's body, with a dark outline.
    if inside_rounded_rect(px, py, 9, 7, 39, 41, 4):
        if inside_rounded_rect(px, py, 10.5, 8.5, 37.5, 39.5, 3):
            return (24, 92, 140, 255)
        return (10, 40, 70, 255)
    # Four pins on each side.
    for pin in range(4):
        top = 11 + pin * 8
        if top <= py <= top + 4 and (3 <= px <= 9 or 39 <= px <= 45):
            return (180, 186, 194, 255)
    return (0, 0, 0, 0)


def icon_bytes():
    rows = []
    # Bitmaps in an icon run from the bottom row up, in blue, green, red, alpha order.
    for y in reversed(range(SIZE)):
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            rows.append(struct.pack("BBBB", b, g, r, a))
    colour = b"".join(rows)
    # The AND mask: one bit a pixel, rows padded to 32 bits; transparency comes from alpha, so
    # the mask marks the transparent pixels only for systems that ignore alpha.
    mask_rows = []
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (1 if pixel(x, y)[3] == 0 else 0)
        row = bits.to_bytes(SIZE // 8, "big")
        mask_rows.append(row + b"\0" * ((4 - len(row) % 4) % 4))
    mask = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as output:
        output.write(icon_bytes())


if __name__ == "__main__":
    main()
