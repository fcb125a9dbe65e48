#!/usr/bin/python3
"""Make the launcher art: the KELMORA splash picture and the launcher icon.

Writes, next to this script:
  tarnell.bmp  590x369, 8 bits per pixel, 256-colour uncompressed BMP
  tarnell.ico  32x32, 16-colour (4 bits per pixel) icon

Run with the Debian Python, which has PIL (python3-pil) and the DejaVu fonts
(fonts-dejavu-core) available:

    /usr/bin/python3 brand/kelmora/make_art.py

The splash is the KELMORA design (brand/art/design.py) with KELMORA's
product word and version from brand.txt; the build draws the same design
for a product of another word or version. Publishers' own pictures go
through make_splash.py and make_icon.py instead.
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
# The project's root, where hostlib and the brand package are found.
sys.path.insert(0, os.path.dirname(os.path.dirname(HERE)))
import hostlib  # noqa: E402
from brand.art import design  # noqa: E402
from brand.art.artformat import (GREY_FACE, GREY_LIGHT, GREY_SHADOW, HEIGHT,  # noqa: E402
                                 ICON_SIZE, TRANSPARENT, WIDTH, icon_file, read_icon,
                                 read_splash)

BMP_PATH = os.path.join(HERE, "tarnell.bmp")
ICO_PATH = os.path.join(HERE, "tarnell.ico")
BRAND_TXT = os.path.join(HERE, "brand.txt")


# --- Splash picture -------------------------------------------------------

def kelmora_texts():
    """KELMORA's product word and version, from brand.txt (KEY = TEXT)."""
    with open(BRAND_TXT, encoding="utf-8") as source:
        pairs = [line.partition("=") for line in source
                 if line.strip() and not line.startswith("#")]
    texts = {key.strip(): text.strip() for key, _, text in pairs}
    return texts["product"], texts["version"]


def make_splash():
    data = design.splash(*kelmora_texts())
    palette, checked = read_splash(data)
    with open(BMP_PATH, "wb") as f:
        f.write(data)
    return checked[(HEIGHT - 1) * WIDTH], palette


# --- Icon -----------------------------------------------------------------

VGA_BLACK, VGA_NAVY, VGA_TEAL, VGA_SILVER = 0, 4, 6, 7
VGA_GREY, VGA_AQUA, VGA_WHITE = 8, 14, 15


def disc_pixel(x, y):
    """Colour index of an icon pixel (top-down), or TRANSPARENT."""
    dx, dy = x + 0.5 - ICON_SIZE / 2, y + 0.5 - ICON_SIZE / 2
    r = math.hypot(dx, dy)
    angle = math.degrees(math.atan2(-dy, dx)) % 180   # sheen is symmetric
    if r > 15.2 or r < 2.9:
        return TRANSPARENT
    if r > 14.1 or r < 4.0:
        return VGA_GREY                  # outer rim and edge of the hole
    if r < 7.0:
        # Clear hub with a dark ring round it.
        return VGA_NAVY if r > 6.0 else VGA_WHITE
    # Recording surface: silver with a light sheen fading through aqua/teal.
    if 28 <= angle < 52:
        return VGA_WHITE
    if 52 <= angle < 66:
        return VGA_AQUA
    if 66 <= angle < 78:
        return VGA_TEAL
    return VGA_SILVER


def make_icon():
    grid = [[disc_pixel(x, y) for x in range(ICON_SIZE)] for y in range(ICON_SIZE)]
    data = icon_file(grid)
    read_icon(data)
    with open(ICO_PATH, "wb") as f:
        f.write(data)


def main():
    first, palette = make_splash()
    make_icon()
    greys = {g: palette.index(g) for g in (GREY_SHADOW, GREY_FACE, GREY_LIGHT)}
    print(f"{BMP_PATH}: {os.path.getsize(BMP_PATH)} bytes, first pixel index "
          f"{first} = {palette[first]}, greys {greys}")
    print(f"{ICO_PATH}: {os.path.getsize(ICO_PATH)} bytes")


if __name__ == "__main__":
    hostlib.run(main, "make_art")
