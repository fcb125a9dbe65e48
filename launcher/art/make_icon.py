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
import argparse
import os
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from artformat import (ICON_SIZE, TRANSPARENT, VGA_PALETTE, ArtError, icon_file,  # noqa: E402
                       open_picture, png_bytes, read_icon, write_files)

MINIMUM_SIDE = ICON_SIZE
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
        raise ArtError("an icon shows at least one pixel", "the picture is transparent throughout")
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


def parse_arguments():
    parser = argparse.ArgumentParser(description="Turns a picture into the launcher's icon.")
    parser.add_argument("--setting", default="TARNELL_ICON",
                        help="the setting named in messages (default: TARNELL_ICON)")
    parser.add_argument("--preview", metavar="FILE", help="write the icon as a PNG picture")
    parser.add_argument("picture")
    parser.add_argument("output")
    return parser.parse_args()


def main():
    arguments = parse_arguments()

    def say(text):
        print(f"{arguments.setting}: {text}")

    try:
        with open(arguments.picture, "rb") as source:
            data = source.read()
        grid = read_icon(data)
        say(f"{arguments.picture} is a launcher icon already: taken as it is")
    except (ArtError, OSError):
        data = convert(open_picture(arguments.picture, MINIMUM_SIDE), say)
        grid = read_icon(data)

    outputs = {arguments.output: data}
    if arguments.preview:
        outputs[arguments.preview] = preview(grid)
    write_files(outputs)


if __name__ == "__main__":
    try:
        main()
    except ArtError as error:
        print(f"{parse_arguments().setting}: refused: {error}", file=sys.stderr)
        sys.exit(1)
