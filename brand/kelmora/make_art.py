#!/usr/bin/python3
"""Make the launcher art: the KELMORA splash picture and the launcher icon.

Writes, next to this script:
  tarnell.bmp  590x369, 8 bits per pixel, 256-colour uncompressed BMP
  tarnell.ico  32x32, 16-colour (4 bits per pixel) icon

Run with the Debian Python, which has PIL (python3-pil) and the DejaVu fonts
(fonts-dejavu-core) available:

    /usr/bin/python3 brand/kelmora/make_art.py

The palette of the splash is built by hand so the Windows image loader can
recolour it: the plain white page background owns the palette entry of the
first pixel, and three exact greys are kept for the button panel only (see
artformat.py). Publishers' own pictures go through make_splash.py and
make_icon.py instead.
"""

import math
import os
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
# The project's root, where hostlib and the brand package are found.
sys.path.insert(0, os.path.dirname(os.path.dirname(HERE)))
import hostlib  # noqa: E402
from brand.art.artformat import (GREY_FACE, GREY_LIGHT, GREY_SHADOW, HEIGHT,  # noqa: E402
                                 ICON_SIZE, PALETTE_SIZE, TRANSPARENT, UNUSED_ENTRY, WIDTH,
                                 icon_file, nudge, panel_role, read_icon, read_splash,
                                 splash_file)
from brand.layout import PANEL  # noqa: E402

BMP_PATH = os.path.join(HERE, "tarnell.bmp")
ICO_PATH = os.path.join(HERE, "tarnell.ico")

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONT_REGULAR = os.path.join(FONT_DIR, "DejaVuSans.ttf")
FONT_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")

# --- Splash picture -------------------------------------------------------

PAGE_WHITE = (255, 255, 255)    # first pixel's entry
RESERVED = [PAGE_WHITE, GREY_FACE, GREY_LIGHT, GREY_SHADOW]
INDEX_PAGE = 0
ART_COLOURS = PALETTE_SIZE - len(RESERVED)

# Page layout.
BAND_HEIGHT = 148
LEFT_MARGIN = 40
FOOTER_Y = 310
NAVY = (14, 38, 84)
TEAL = (0, 122, 138)
INK_DARK = (28, 46, 74)
INK_SOFT = (92, 104, 120)
TITLE_TINT = (206, 232, 238)
BAND_RULE = (120, 196, 206)
FOOTER_RULE = (176, 206, 212)
WHITE_INK = (255, 255, 255)

PRODUCT = "KELMORA"
TITLE = "CD-ROM Autorun Program"
VERSION = "Version 2.31.005"
NOTE_LINES = ["Setup will install KELMORA", "on this computer."]
FOOTER = "Choose an option to continue."


def font(path, size):
    return ImageFont.truetype(path, size)


def mix(a, b, t):
    """Blend colour a towards colour b by fraction t."""
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def paint(layer, colour, mask):
    """Composite a solid colour onto an RGBA layer through an L mask."""
    solid = Image.new("RGBA", layer.size, colour + (255,))
    solid.putalpha(mask)
    layer.alpha_composite(solid)


def text_mask(size, xy, text, typeface, spacing=0):
    """Return an L mask with text drawn at xy (letter spacing in pixels)."""
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    x, y = xy
    if spacing == 0:
        draw.text((x, y), text, font=typeface, fill=255)
    else:
        for ch in text:
            draw.text((x, y), ch, font=typeface, fill=255)
            x += typeface.getlength(ch) + spacing
    return mask


def draw_band(layer):
    """Deep blue to teal gradient band across the top, with disc-like rings."""
    band = Image.new("RGBA", (WIDTH, BAND_HEIGHT))
    pixels = band.load()
    for y in range(BAND_HEIGHT):
        for x in range(WIDTH):
            t = 0.75 * x / (WIDTH - 1) + 0.25 * y / (BAND_HEIGHT - 1)
            pixels[x, y] = mix(NAVY, TEAL, t) + (255,)
    layer.alpha_composite(band)

    # Soft concentric rings, like a disc rising off the right-hand edge.
    cx, cy = 500, 40
    rings = Image.new("L", (WIDTH, HEIGHT), 0)
    draw = ImageDraw.Draw(rings)
    for radius, width, level in [(190, 26, 40), (150, 2, 70), (120, 14, 34),
                                 (84, 2, 70), (60, 20, 30), (22, 2, 80)]:
        draw.ellipse((cx - radius, cy - radius, cx + radius, cy + radius),
                     outline=level, width=width)
    rings = rings.filter(ImageFilter.GaussianBlur(1.2))
    ImageDraw.Draw(rings).rectangle((0, BAND_HEIGHT, WIDTH, HEIGHT), fill=0)
    paint(layer, WHITE_INK, rings)

    # A thin light rule under the band.
    rule = Image.new("L", (WIDTH, HEIGHT), 0)
    ImageDraw.Draw(rule).rectangle((0, BAND_HEIGHT, WIDTH, BAND_HEIGHT + 2),
                                   fill=255)
    paint(layer, BAND_RULE, rule)


def draw_text(layer):
    """Product name and title on the band; version and notes on the page."""
    size = layer.size
    name_font = font(FONT_BOLD, 64)
    paint(layer, WHITE_INK,
          text_mask(size, (LEFT_MARGIN - 3, 22), PRODUCT, name_font, 6))
    paint(layer, TITLE_TINT,
          text_mask(size, (LEFT_MARGIN, 102), TITLE, font(FONT_REGULAR, 20)))

    paint(layer, INK_DARK,
          text_mask(size, (LEFT_MARGIN, 172), VERSION, font(FONT_BOLD, 15)))
    note_font = font(FONT_REGULAR, 13)
    for i, line in enumerate(NOTE_LINES):
        paint(layer, INK_SOFT,
              text_mask(size, (LEFT_MARGIN, 212 + 20 * i), line, note_font))

    # Footer: a short accent rule and a quiet hint.
    rule = Image.new("L", size, 0)
    ImageDraw.Draw(rule).line((LEFT_MARGIN, FOOTER_Y, PANEL[2] - 1, FOOTER_Y),
                              fill=255)
    paint(layer, FOOTER_RULE, rule)
    paint(layer, INK_SOFT, text_mask(size, (LEFT_MARGIN, FOOTER_Y + 12),
                                     FOOTER, font(FONT_REGULAR, 12)))


def render_art():
    """Return the artwork as an RGBA layer; alpha 0 means plain page."""
    layer = Image.new("RGBA", (WIDTH, HEIGHT), (0, 0, 0, 0))
    draw_band(layer)
    draw_text(layer)
    return layer


def build_palette_image(art):
    """Quantise the artwork and assemble the 256-colour picture.

    Returns the palette (256 RGB tuples), the pixel indices (top-down rows)
    and the artwork's alpha channel (0 where the plain page shows).
    """
    page = Image.new("RGBA", art.size, PAGE_WHITE + (255,))
    flat = Image.alpha_composite(page, art).convert("RGB")
    alpha = art.getchannel("A").tobytes()
    rgb = list(flat.getdata())

    # Only artwork pixels (outside the panel) take part in quantisation.
    art_positions = [i for i in range(WIDTH * HEIGHT)
                     if alpha[i] and panel_role(i % WIDTH, i // WIDTH) is None]
    strip = Image.new("RGB", (len(art_positions), 1))
    strip.putdata([rgb[i] for i in art_positions])
    quantised = strip.quantize(ART_COLOURS, method=Image.Quantize.MEDIANCUT)
    raw = quantised.getpalette()
    art_palette = [nudge(tuple(raw[i:i + 3]), RESERVED) for i in range(0, len(raw), 3)]
    art_palette = art_palette[:ART_COLOURS]

    palette = RESERVED + art_palette
    palette += [UNUSED_ENTRY] * (PALETTE_SIZE - len(palette))

    indices = bytearray([INDEX_PAGE]) * (WIDTH * HEIGHT)
    for pos, q in zip(art_positions, quantised.getdata()):
        indices[pos] = len(RESERVED) + q
    for y in range(PANEL[1], PANEL[3]):
        for x in range(PANEL[0], PANEL[2]):
            indices[y * WIDTH + x] = panel_role(x, y)
    return palette, bytes(indices), alpha


def make_splash():
    art = render_art()
    palette, indices, alpha = build_palette_image(art)
    data = splash_file(palette, indices)
    palette, checked = read_splash(data)
    first = checked[(HEIGHT - 1) * WIDTH]
    # The first pixel's entry is the page's alone.
    assert all(alpha[i] == 0 for i, index in enumerate(checked) if index == first)
    with open(BMP_PATH, "wb") as f:
        f.write(data)
    return first, palette


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
