#!/usr/bin/env python3
"""Draws the window's pictures: the two button pictures (16-colour bitmaps)
at 100, 150 and 200 percent, and the program icon. Run from anywhere; writes
beside this file. The outputs are committed, so building needs no Python."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 standard colours, in their usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Letters used in the drawings below. '.' is olive, the transparent colour:
# the bottom-left pixel of every picture must be it.
INK = {'k': 0, 'm': 1, 'G': 2, '.': 3, 'n': 4, 's': 7, 'g': 8, 'y': 11, 'b': 12, 'w': 15}

# An opened folder, 14 x 14: yellow and white behind a black outline, its
# front flap grey and silver.
FOLDER = """
..............
..............
.kkkk.........
kwyyyk........
kywyyykkkkkk..
kyyyyyyyyyyk..
kyykkkkkkkkkkk
kyksssssssssgk
kykssssssssgk.
kksssssssssk..
kksgggggggk...
kkkkkkkkkkk...
..............
..............
"""

# An open door in a dark blue frame beneath a small green sign, 18 x 18.
DOOR = """
......GGGGGG......
......GwwwwG......
......GGGGGG......
...nnnnnnnnnnnn...
...nkkkkkkkkkkn...
...nmmkkkkkkkkn...
...nmmmmkkkkkkn...
...nmmmmmkkkkkn...
...nmmmmmkkkkkn...
...nmmmmmkkkkkn...
...nmmmywmkkkkn...
...nmmmmmkkkkkn...
...nmmmmmkkkkkn...
...nmmmmmkkkkkn...
...nmmmmkkkkkkn...
...nmmkkkkkkkkn...
...nnnnnnnnnnnn...
..................
"""


def grid(drawing, size):
    rows = [row for row in drawing.strip('\n').split('\n')]
    assert len(rows) == size, (len(rows), size)
    for row in rows:
        assert len(row) == size, row
    assert rows[-1][0] == '.', 'the bottom-left pixel carries the transparent colour'
    return [[INK[c] for c in row] for row in rows]


def greyed(pixels):
    """The disabled look: every drawn pixel grey, light ones silver."""
    out = []
    for row in pixels:
        line = []
        for index in row:
            if index == INK['.']:
                line.append(index)
            else:
                r, g, b = PALETTE[index]
                line.append(INK['s'] if (r + g + b) > 3 * 160 else INK['g'])
        out.append(line)
    return out


def enlarged(pixels, percent):
    """The picture at percent of its size, by nearest neighbour: every pixel
    keeps one of the 16 colours, so the window draws it as crisply as the
    original (at 150 percent every other pixel becomes two)."""
    height = len(pixels)
    width = len(pixels[0])
    out_height = height * percent // 100
    out_width = width * percent // 100
    return [[pixels[y * height // out_height][x * width // out_width] for x in range(out_width)]
            for y in range(out_height)]


def write_bmp4(path, pixels):
    height = len(pixels)
    width = len(pixels[0])
    stride = ((width * 4 + 31) // 32) * 4
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, index in enumerate(row):
            if x % 2 == 0:
                line[x // 2] |= index << 4
            else:
                line[x // 2] |= index
        body += line
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(body), 2835, 2835, 16, 0)
    offset = 14 + len(header) + len(palette)
    filehead = struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(filehead + header + palette + body)


def icon_image(size):
    """A page with a folded corner and a green arrow across it: 'converted'."""
    clear = (0, 0, 0, 0)
    px = [[clear for _ in range(size)] for _ in range(size)]
    s = size / 32.0

    def box(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    black, white = (0, 0, 0, 255), (255, 255, 255, 255)
    blue, green = (0, 0, 160, 255), (0, 150, 0, 255)
    box(5, 2, 25, 30, black)           # page outline
    box(6, 3, 24, 29, white)
    for y in (8, 12, 16, 20, 24):      # lines of text
        box(9, y, 21, y + 1.5, blue)
    box(19, 2, 25, 8, clear)           # folded corner
    box(19, 2, 20, 8, black)
    box(19, 7, 25, 8, black)
    box(14, 16, 27, 23, green)         # arrow shaft and head
    for i in range(6):
        box(24 + i, 13 + i, 25 + i, 26 - i, green)
    return px


def png(px):
    """A 32-bit PNG of the pixels (red, green, blue, alpha rows)."""
    size = len(px)
    raw = b''.join(b'\0' + bytes(v for pixel in row for v in pixel) for row in px)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9)) +
            chunk(b'IEND', b''))


def icon_entry(size):
    px = icon_image(size)
    if size >= 256:
        # The largest size as PNG, as the system accepts it there: a plain
        # bitmap of it would be 260 KB.
        return png(px)
    body = bytearray()
    for row in reversed(px):
        for r, g, b, a in row:
            body += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(body) + len(mask), 0, 0, 0, 0)
    return header + body + mask


def write_ico(path, sizes):
    images = [icon_entry(size) for size in sizes]
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, image in zip(sizes, images):
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(head + entries + b''.join(images))


def main():
    folder = grid(FOLDER, 14)
    write_bmp4(os.path.join(HERE, 'open.bmp'), folder)
    door = grid(DOOR, 18)
    both = [a + b for a, b in zip(door, greyed(door))]
    write_bmp4(os.path.join(HERE, 'close.bmp'), both)
    for percent in (150, 200):
        write_bmp4(os.path.join(HERE, 'open%d.bmp' % percent), enlarged(folder, percent))
        large = enlarged(door, percent)
        write_bmp4(os.path.join(HERE, 'close%d.bmp' % percent), [a + b for a, b in zip(large, greyed(large))])
    write_ico(os.path.join(HERE, 'kwtconvw.ico'), [16, 20, 24, 32, 48, 256])


if __name__ == '__main__':
    main()
