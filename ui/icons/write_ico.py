#!/usr/bin/env python3
"""Writes a Windows icon file holding 16-colour (4 bits per pixel) images of the given PNGs.

    write_ico.py OUTPUT.ico IMAGE.png...

Each PNG may use at most 15 opaque colours and fully transparent pixels. A transparent pixel gets
colour index 0, which is black, and a set bit in the AND mask, so that Windows shows what lies
behind it. The pixels are read through ImageMagick's convert.
"""
import struct
import subprocess
import sys

BITS_PER_PIXEL = 4
COLOURS = 1 << BITS_PER_PIXEL


def read_rgba(path):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True,
                          capture_output=True).stdout
    rows = [[tuple(data[(y * width + x) * 4:(y * width + x) * 4 + 4]) for x in range(width)]
            for y in range(height)]
    return width, height, rows


def padded(row_bytes):
    # Every bitmap row fills a whole number of 32-bit words.
    return row_bytes + bytes(-len(row_bytes) % 4)


def icon_image(path):
    width, height, rows = read_rgba(path)
    for row in rows:
        for pixel in row:
            if pixel[3] not in (0, 255):
                sys.exit(f"{path}: a pixel is partly transparent, which 16 colours cannot show")
    palette = [(0, 0, 0)]
    palette += sorted({p[:3] for row in rows for p in row if p[3] == 255} - {(0, 0, 0)})
    if len(palette) > COLOURS:
        sys.exit(f"{path}: {len(palette)} colours, at most {COLOURS} fit")
    palette += [(0, 0, 0)] * (COLOURS - len(palette))

    colour_rows, mask_rows = [], []
    for row in reversed(rows):  # bottom-up, as a bitmap stores them
        indexes = [palette.index(p[:3]) if p[3] == 255 else 0 for p in row]
        indexes += [0] * (len(indexes) % 2)
        colour_rows.append(padded(bytes(indexes[i] << 4 | indexes[i + 1]
                                        for i in range(0, len(indexes), 2))))
        mask = 0
        for pixel in row:
            mask = mask << 1 | (pixel[3] == 0)
        bits = width + (-width % 8)
        mask <<= bits - width
        mask_rows.append(padded(mask.to_bytes(bits // 8, "big")))
    pixels = b"".join(colour_rows) + b"".join(mask_rows)

    # The height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, BITS_PER_PIXEL, 0,
                         len(pixels), 0, 0, COLOURS, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return width, height, header + colours + pixels


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    images = [icon_image(path) for path in sys.argv[2:]]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, bodies = b"", b""
    for width, height, body in images:
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, COLOURS, 0, 1,
                               BITS_PER_PIXEL, len(body), offset)
        offset += len(body)
        bodies += body
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entries + bodies)


if __name__ == "__main__":
    main()
