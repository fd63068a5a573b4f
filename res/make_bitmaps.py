#!/usr/bin/env python3
"""Draws the plugin's two 16 x 16, 256-colour bitmaps (magenta is transparent):
a closed envelope on a phone, in green for service level 2 and in blue for 3."""
import struct, sys

ROWS = [  # top row first; . transparent, k outline, b body, e envelope, w paper
    "................",
    "...kkkkkkk......",
    "...kbbbbbk......",
    "...kbkkkbk......",
    "...kbkwkbk......",
    "...kbkkkbk......",
    "...kbbbbbkkkkkkk",
    "...kbkbkbkwwwwwk",
    "...kbbbbbkewwwek",
    "...kbkbkbkweeewk",
    "...kbbbbbkwwwwwk",
    "...kbkbkbkkkkkkk",
    "...kbbbbbk......",
    "...kbbkbbk......",
    "...kkkkkkk......",
    "................",
]

def bitmap(body):
    palette = {".": (255, 0, 255), "k": (0, 0, 0), "b": body, "e": (200, 40, 40), "w": (255, 255, 255)}
    order = list(palette)
    colours = [palette[c] for c in order] + [(0, 0, 0)] * (256 - len(order))
    pixels = b"".join(bytes(order.index(c) for c in row) for row in reversed(ROWS))
    header_size = 14 + 40 + 256 * 4
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    head = struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
    return head + info + table + pixels

if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    open(f"{out}/sms_level2.bmp", "wb").write(bitmap((40, 160, 60)))
    open(f"{out}/sms_level3.bmp", "wb").write(bitmap((40, 90, 200)))
