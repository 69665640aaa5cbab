#!/usr/bin/env python3
"""Builds the program's icons and cursor from the text pixel maps beside it.

    mkimages.py icon MAP OUT.ico    one 256-colour image per block of MAP
    mkimages.py cursor MAP OUT.cur  one monochrome image; MAP starts "hotspot X Y"

A map is a block of equal-length rows, one character a pixel; blocks are
separated by a blank line. '.' is transparent, the other letters are colours.
"""
import struct
import sys

COLOURS = {
    "K": (0, 0, 0),          # outline
    "W": (255, 255, 255),    # window interior
    "B": (72, 194, 255),     # title band
    "L": (180, 180, 255),    # mouse body
    "P": (124, 0, 124),      # mouse side
}


def read_map(path):
    hotspot = None
    blocks, rows = [], []
    with open(path, encoding="ascii") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("hotspot"):
                hotspot = tuple(int(v) for v in line.split()[1:3])
            elif line.strip():
                rows.append(line)
            elif rows:
                blocks.append(rows)
                rows = []
    if rows:
        blocks.append(rows)
    for block in blocks:
        size = len(block)
        if any(len(r) != size for r in block):
            sys.exit("%s: a %d-row block must have %d columns in every row" % (path, size, size))
        for r in block:
            for ch in r:
                if ch != "." and ch not in COLOURS:
                    sys.exit("%s: unknown pixel %r" % (path, ch))
    return blocks, hotspot


def packed_rows(bits_per_row):
    """Rows of 0/1 values, bottom row first, as 1-bit rows padded to 32 bits."""
    out = b""
    for bits in reversed(bits_per_row):
        row = bytearray((len(bits) + 31) // 32 * 4)
        for x, bit in enumerate(bits):
            if bit:
                row[x // 8] |= 0x80 >> (x % 8)
        out += bytes(row)
    return out


def mask(block):
    return packed_rows([[1 if ch == "." else 0 for ch in r] for r in block])


def icon_image(block):
    size = len(block)
    palette = [(0, 0, 0)] + sorted(set(COLOURS.values()) - {(0, 0, 0)})
    index = {rgb: i for i, rgb in enumerate(palette)}
    palette += [(0, 0, 0)] * (256 - len(palette))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    pixels = b""
    for r in reversed(block):
        row = bytes(0 if ch == "." else index[COLOURS[ch]] for ch in r)
        pixels += row + b"\0" * (-len(row) % 4)
    return header + colours + pixels + mask(block)


def cursor_image(block):
    size = len(block)
    for r in block:
        if any(ch not in ".KW" for ch in r):
            sys.exit("a cursor has only black (K), white (W) and transparent (.) pixels")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    colours = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    xor = packed_rows([[1 if ch == "W" else 0 for ch in r] for r in block])
    return header + colours + xor + mask(block)


def write_directory(path, kind, blocks, images, hotspot):
    data = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for block, image in zip(blocks, images):
        size = len(block)
        if kind == 1:
            planes, bits, colours = 1, 8, 0
        else:
            planes, bits, colours = hotspot[0], hotspot[1], 2
        data += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, planes, bits, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(data + b"".join(images))


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("icon", "cursor"):
        sys.exit(__doc__)
    kind, source, target = sys.argv[1:]
    blocks, hotspot = read_map(source)
    if kind == "icon":
        write_directory(target, 1, blocks, [icon_image(b) for b in blocks], None)
    else:
        if hotspot is None or len(blocks) != 1:
            sys.exit("%s: a cursor map needs a hotspot line and one image" % source)
        write_directory(target, 2, blocks, [cursor_image(blocks[0])], hotspot)


if __name__ == "__main__":
    main()
