#!/usr/bin/python3
"""Turns a picture into the launcher's icon, with a preview.

    make_icon.py [--setting NAME] [--preview FILE.png] PICTURE OUTPUT.ico

An ICO that already is a launcher icon (one 32 x 32, 16-colour image) is
taken byte for byte. Any other picture of at least 32 x 32 pixels is scaled
whole into 32 x 32 (a Lanczos filter; a picture that is not square is
centred on transparency), its transparent pixels (alpha under one half)
become the icon's mask, and the rest takes the nearest of the 16 VGA
colours. It is not dithered: at 32 x 32 a dither pattern reads as noise,
so a picture drawn in colours near the 16 comes out best. The preview is the
icon as Windows draws it, 32 x 32, transparent where the mask is.
Refusals name the setting and the rule; then no file is written.
"""
import os
import sys

from PIL import Image

# The project's root, where hostlib and the brand package are found.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
from hostlib import Refusal  # noqa: E402
from brand.art.artformat import (ICON_SIZE, TRANSPARENT, VGA_PALETTE, converter_main,  # noqa: E402
                                 icon_file, png_bytes, read_icon)

MINIMUM_SIDE = ICON_SIZE
# A picture of more pixels than this is refused unread: 4096 x 4096 is
# sixteen thousand times the icon's own; no icon is drawn that large.
LARGEST = (4096, 4096)
OPAQUE = 128


def convert(picture, say):
    """The icon file (bytes) for an RGBA picture."""
    width, height = picture.size
    scale = ICON_SIZE / max(width, height)
    size = (max(1, round(width * scale)), max(1, round(height * scale)))
    scaled = picture.convert("RGBa").resize(size, Image.LANCZOS).convert("RGBA")
    square = Image.new("RGBA", (ICON_SIZE, ICON_SIZE), (0, 0, 0, 0))
    square.paste(scaled, ((ICON_SIZE - size[0]) // 2, (ICON_SIZE - size[1]) // 2))

    table = Image.new("P", (1, 1))
    table.putpalette([c for colour in VGA_PALETTE * 16 for c in colour])
    mapped = square.convert("RGB").quantize(palette=table, dither=Image.Dither.NONE).load()
    alpha = square.getchannel("A").load()

    grid = [[mapped[x, y] % len(VGA_PALETTE) if alpha[x, y] >= OPAQUE else TRANSPARENT
             for x in range(ICON_SIZE)] for y in range(ICON_SIZE)]
    shown = sum(c is not TRANSPARENT for row in grid for c in row)
    if shown == 0:
        raise Refusal("an icon shows at least one pixel", "the picture is transparent throughout")
    say(f"{width} x {height} scaled to {size[0]} x {size[1]} in 16 colours, "
        f"{ICON_SIZE * ICON_SIZE - shown} pixels transparent")
    return icon_file(grid)


def preview(grid):
    image = Image.new("RGBA", (ICON_SIZE, ICON_SIZE), (0, 0, 0, 0))
    for y, row in enumerate(grid):
        for x, index in enumerate(row):
            if index is not TRANSPARENT:
                image.putpixel((x, y), VGA_PALETTE[index] + (255,))
    return png_bytes(image)


def add_options(parser):
    parser.add_argument("--preview", metavar="FILE", help="write the icon as a PNG picture")


def previews(arguments, grid):
    return {arguments.preview: preview(grid)} if arguments.preview else {}


if __name__ == "__main__":
    converter_main("Turns a picture into the launcher's icon.", "TARNELL_ICON", read_icon,
                   convert, MINIMUM_SIDE, add_options, previews, LARGEST)
