#!/usr/bin/python3
"""Turns a brand's PNG previews into BMP files that a Windows test program
loads with LoadImageA: the two splash previews as they are, the icon laid
on magenta (which no icon colour is).

Usage: preview_bitmaps.py PREVIEW_DIR OUTPUT_DIR"""
import os
import sys

from PIL import Image

ICON_BACKDROP = (255, 0, 255)
PAIRS = (("splash.png", "brand-preview-splash.bmp"),
         ("splash-after-colour-change.png", "brand-preview-after.bmp"),
         ("icon.png", "brand-preview-icon.bmp"))


def main(previews, output):
    for source, target in PAIRS:
        picture = Image.open(os.path.join(previews, source)).convert("RGBA")
        flat = Image.new("RGB", picture.size, ICON_BACKDROP)
        flat.paste(picture, (0, 0), picture)
        flat.save(os.path.join(output, target))


if __name__ == "__main__":
    main(*sys.argv[1:])
