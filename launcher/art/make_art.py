#!/usr/bin/python3
"""Make the launcher art: the KELMORA splash picture and the launcher icon.

Writes, next to this script:
  tarnell.bmp  590x369, 8 bits per pixel, 256-colour uncompressed BMP
  tarnell.ico  32x32, 16-colour (4 bits per pixel) icon

Run with the Debian Python, which has PIL (python3-pil) and the DejaVu fonts
(fonts-dejavu-core) available:

    /usr/bin/python3 launcher/art/make_art.py

The palette of the splash is built by hand so the Windows image loader can
recolour it: the plain white page background owns the palette entry of the
first pixel (replaced by the window colour), and three exact greys are kept
for the button panel only (mapped to the user's 3-D colours).
"""

import math
import os
import struct

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
BMP_PATH = os.path.join(HERE, "tarnell.bmp")
ICO_PATH = os.path.join(HERE, "tarnell.ico")

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONT_REGULAR = os.path.join(FONT_DIR, "DejaVuSans.ttf")
FONT_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")

# --- Splash picture -------------------------------------------------------

WIDTH, HEIGHT = 590, 369
ROW_BYTES = (WIDTH + 3) // 4 * 4                 # 592: rows padded to 4 bytes
PIXEL_BYTES = ROW_BYTES * HEIGHT                 # 218448
PELS_PER_METER = 2834                            # 72 dpi
PALETTE_SIZE = 256

# Colours the loader replaces; each must appear once in the palette and only
# where the picture should follow the system colours.
PAGE_WHITE = (255, 255, 255)    # first pixel's entry -> window colour
GREY_SHADOW = (128, 128, 128)   # -> 3-D shadow
GREY_FACE = (192, 192, 192)     # -> 3-D face
GREY_LIGHT = (223, 223, 223)    # -> 3-D light
RESERVED = [PAGE_WHITE, GREY_FACE, GREY_LIGHT, GREY_SHADOW]
INDEX_PAGE, INDEX_FACE, INDEX_LIGHT, INDEX_SHADOW = range(len(RESERVED))
ART_COLOURS = PALETTE_SIZE - len(RESERVED)
UNUSED_ENTRY = (0, 0, 0)

# The launcher puts its two push buttons over this band; the 3-D panel
# behind them leaves a margin of at least 8 pixels all round.  Rectangles are
# (left, top, right, bottom) in top-down picture coordinates, right and
# bottom exclusive.
BUTTON_BAND = (288, 214, 528, 242)
BUTTON_MARGIN = 8
PANEL = (272, 200, 544, 256)

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


def panel_role(x, y):
    """Reserved palette index for a panel pixel, or None outside the panel."""
    left, top, right, bottom = PANEL
    if not (left <= x < right and top <= y < bottom):
        return None
    if x == right - 1 or y == bottom - 1:
        return INDEX_SHADOW
    if x == left or y == top:
        return INDEX_LIGHT
    return INDEX_FACE


def nudge(colour):
    """Move a colour by one step if it collides with a reserved colour."""
    while colour in RESERVED:
        colour = tuple(c - 1 if c > 0 else c + 1 for c in colour)
    return colour


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
    art_palette = [nudge(tuple(raw[i:i + 3])) for i in range(0, len(raw), 3)]
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


def bmp_bytes(palette, indices):
    """Encode an 8-bit bottom-up BMP with BITMAPINFOHEADER."""
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0,
                       PIXEL_BYTES, PELS_PER_METER, PELS_PER_METER,
                       PALETTE_SIZE, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    pad = b"\0" * (ROW_BYTES - WIDTH)
    rows = [indices[y * WIDTH:(y + 1) * WIDTH] + pad
            for y in reversed(range(HEIGHT))]
    body = info + table + b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0,
                         14 + len(info) + len(table))
    return header + body


def check_bmp(data, alpha):
    """Fail loudly unless the BMP is exactly in the intended format."""
    assert len(data) == 219526, len(data)
    assert len(data) - 14 == 40 + 1024 + 218448 == 219512
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    assert (magic, size, offset) == (b"BM", 219526, 14 + 40 + 1024)
    fields = struct.unpack_from("<IiiHHIIiiII", data, 14)
    assert fields == (40, 590, 369, 1, 8, 0, 218448, 2834, 2834, 256, 0), \
        fields

    table = data[54:54 + 1024]
    palette = [(table[i + 2], table[i + 1], table[i])
               for i in range(0, 1024, 4)]
    assert all(table[i + 3] == 0 for i in range(0, 1024, 4))
    pixels = data[offset:]
    assert len(pixels) == 218448
    rows = [pixels[r * ROW_BYTES:r * ROW_BYTES + WIDTH] for r in range(HEIGHT)]
    assert all(pixels[r * ROW_BYTES + WIDTH:(r + 1) * ROW_BYTES] == b"\0\0"
               for r in range(HEIGHT))

    # The first pixel (bottom-left) is plain page white, and that entry is
    # used by page background pixels only.
    first = pixels[0]
    assert palette[first] == PAGE_WHITE
    assert palette.count(PAGE_WHITE) == 1
    for r, row in enumerate(rows):
        y = HEIGHT - 1 - r
        for x, index in enumerate(row):
            if index == first:
                assert alpha[y * WIDTH + x] == 0 and panel_role(x, y) is None

    # Each 3-D grey is in the palette exactly once, used only on the panel.
    for grey in (GREY_SHADOW, GREY_FACE, GREY_LIGHT):
        assert palette.count(grey) == 1, grey
    greys = {palette.index(g) for g in (GREY_SHADOW, GREY_FACE, GREY_LIGHT)}
    for r, row in enumerate(rows):
        y = HEIGHT - 1 - r
        for x, index in enumerate(row):
            assert (index in greys) == (panel_role(x, y) is not None), (x, y)

    # The button band plus its margin is plain panel face.
    left, top, right, bottom = BUTTON_BAND
    face = palette.index(GREY_FACE)
    for y in range(top - BUTTON_MARGIN, bottom + BUTTON_MARGIN):
        row = rows[HEIGHT - 1 - y]
        assert set(row[left - BUTTON_MARGIN:right + BUTTON_MARGIN]) == {face}
    return first, palette


def make_splash():
    art = render_art()
    palette, indices, alpha = build_palette_image(art)
    data = bmp_bytes(palette, indices)
    first, palette = check_bmp(data, alpha)
    with open(BMP_PATH, "wb") as f:
        f.write(data)
    return first, palette


# --- Icon -----------------------------------------------------------------

ICON_SIZE = 32
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
VGA_BLACK, VGA_NAVY, VGA_TEAL, VGA_SILVER = 0, 4, 6, 7
VGA_GREY, VGA_AQUA, VGA_WHITE = 8, 14, 15
TRANSPARENT = None


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


def ico_bytes():
    """Encode a single 32x32 4-bit icon with an AND transparency mask."""
    grid = [[disc_pixel(x, y) for x in range(ICON_SIZE)]
            for y in range(ICON_SIZE)]
    xor_rows, and_rows = [], []
    for row in reversed(grid):                       # bottom-up
        nibbles = [VGA_BLACK if c is TRANSPARENT else c for c in row]
        xor_rows.append(bytes(a << 4 | b
                              for a, b in zip(nibbles[0::2], nibbles[1::2])))
        bits = 0
        for c in row:
            bits = bits << 1 | (c is TRANSPARENT)
        and_rows.append(bits.to_bytes(ICON_SIZE // 8, "big"))
    info = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, ICON_SIZE * 2, 1, 4, 0,
                       0, 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0)
                     for r, g, b in VGA_PALETTE)
    image = info + table + b"".join(xor_rows) + b"".join(and_rows)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, 16, 0, 1, 4,
                        len(image), 6 + 16)
    return icondir + entry + image


def check_ico(data):
    """Fail loudly unless the icon is exactly in the intended format."""
    assert len(data) == 766, len(data)
    assert struct.unpack_from("<HHH", data, 0) == (0, 1, 1)
    assert struct.unpack_from("<BBBBHHII", data, 6) == \
        (32, 32, 16, 0, 1, 4, 744, 22)
    fields = struct.unpack_from("<IiiHHIIiiII", data, 22)
    assert fields[:6] == (40, 32, 64, 1, 4, 0), fields
    assert fields[6] in (0, 640)
    assert len(data) - 22 == 40 + 64 + 512 + 128 == 744
    table = data[62:62 + 64]
    assert [(table[i + 2], table[i + 1], table[i]) for i in range(0, 64, 4)] \
        == VGA_PALETTE
    and_mask = data[22 + 40 + 64 + 512:]
    for row in (and_mask[:4], and_mask[-4:]):        # bottom and top rows
        assert row[0] & 0x80 and row[3] & 0x01         # corners transparent


def make_icon():
    data = ico_bytes()
    check_ico(data)
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
    main()
