"""The KELMORA design of the splash, for any product: a deep blue to teal
band with disc-like rings, the product word large on it over "CD-ROM
Autorun Program", then on the white page "Version X", the note "Setup
will install PRODUCT on this computer." beside the button panel, and the
footer "Choose an option to continue.". English only: it is the one
language every launcher carries.

    splash(product, version)  the splash file's bytes

For KELMORA 2.31.005 it gives brand/kelmora/tarnell.bmp byte for byte.
The palette is built by hand so that the loader can recolour it: the plain
white page owns the first pixel's entry, and the three greys are kept for
the button panel only (see artformat.py).

Drawn with the DejaVu fonts (fonts-dejavu-core), which hold every
character of Windows-1252.
"""
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

from hostlib import Refusal
from brand.art.artformat import (GREY_FACE, GREY_LIGHT, GREY_SHADOW, HEIGHT, PALETTE_SIZE,
                                 UNUSED_ENTRY, WIDTH, nudge, panel_role, splash_file)
from brand.codepage import windows_1252
from brand.layout import PANEL

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONT_REGULAR = os.path.join(FONT_DIR, "DejaVuSans.ttf")
FONT_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")

PAGE_WHITE = (255, 255, 255)    # first pixel's entry
RESERVED = [PAGE_WHITE, GREY_FACE, GREY_LIGHT, GREY_SHADOW]
INDEX_PAGE = 0
ART_COLOURS = PALETTE_SIZE - len(RESERVED)

# Page layout.
BAND_HEIGHT = 148
LEFT_MARGIN = 40
# The texts end where the button panel and the footer rule end.
RIGHT_EDGE = PANEL[2]
FOOTER_Y = 310
NAVY = (14, 38, 84)
TEAL = (0, 122, 138)
INK_DARK = (28, 46, 74)
INK_SOFT = (92, 104, 120)
TITLE_TINT = (206, 232, 238)
BAND_RULE = (120, 196, 206)
FOOTER_RULE = (176, 206, 212)
WHITE_INK = (255, 255, 255)

TITLE = "CD-ROM Autorun Program"
VERSION = "Version {version}"
NOTE = ("Setup will install {product}", "on this computer.")
FOOTER = "Choose an option to continue."

# The product word: 64-pixel bold, letter-spaced, its top at y 22, drawn 3
# pixels left of the margin to take back some of the big letters' side
# bearing. A word too wide for the band is drawn smaller, spacing and all,
# with its capitals centred where KELMORA's are.
WORD_SIZE = 64
WORD_SPACING = 6
WORD_INDENT = 3
WORD_TOP = 22
# Below this the word would no longer read as the product's name.
SMALLEST_WORD = 12

# The note: 13-pixel lines 20 apart from y 212. Lines beside the panel
# keep a gap from it; those below it have the page's width. None may
# reach the footer rule.
NOTE_SIZE = 13
NOTE_TOP = 212
NOTE_LEADING = 20
NOTE_GAP = 16


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


def ink_right(xy, text, typeface, spacing=0):
    """Where the text's ink ends, drawn as text_mask draws it: on a canvas
    wide enough that nothing is cut off. None for a text of no ink."""
    box = text_mask((4 * WIDTH, HEIGHT), xy, text, typeface, spacing).getbbox()
    return box and box[2]


# --- The product word ---------------------------------------------------------

def capitals_middle(typeface):
    """How far below the top of a line the middle of its capitals lies."""
    _, top, _, bottom = typeface.getbbox("H")
    return (top + bottom) / 2


def word_placing(size):
    """The typeface, position and letter spacing of the word at a size."""
    typeface = font(FONT_BOLD, size)
    middle = WORD_TOP + capitals_middle(font(FONT_BOLD, WORD_SIZE))
    x = LEFT_MARGIN - WORD_INDENT * size / WORD_SIZE
    y = round(middle - capitals_middle(typeface))
    return typeface, (x, y), WORD_SPACING * size / WORD_SIZE


def word_size(product):
    """The largest size up to 64 pixels at which the word fits the band;
    refuses a word that fits at none down to SMALLEST_WORD."""
    for size in range(WORD_SIZE, SMALLEST_WORD - 1, -1):
        typeface, xy, spacing = word_placing(size)
        if (ink_right(xy, product, typeface, spacing) or 0) <= RIGHT_EDGE:
            return size
    raise Refusal(f"the product word fits the splash's band ({RIGHT_EDGE - LEFT_MARGIN} pixels) "
                  f"at {SMALLEST_WORD} pixels or more", repr(product))


# --- The note -----------------------------------------------------------------

def line_room(number):
    """How wide the note's line of that number may be, or None where no
    line may stand."""
    top = NOTE_TOP + NOTE_LEADING * number
    if top + NOTE_LEADING > FOOTER_Y:
        return None
    beside_panel = top < PANEL[3] and top + NOTE_LEADING > PANEL[1]
    return (PANEL[0] - NOTE_GAP if beside_panel else RIGHT_EDGE) - LEFT_MARGIN


def width(text, typeface):
    return typeface.getlength(text)


def split_word(word, room, typeface):
    """A word too long for a line, cut into pieces that fit (the last one
    may be shorter), at least one character each."""
    pieces, piece = [], ""
    for ch in word:
        if piece and width(piece + ch, typeface) > room:
            pieces.append(piece)
            piece = ""
        piece += ch
    return pieces + [piece]


def wrap(words, typeface, first_line=0):
    """The words in lines, each as wide as its room allows; a word wider
    than a whole line is cut where it reaches the end. None when the lines
    run out."""
    lines, line = [], ""
    words = list(words)
    while words:
        room = line_room(first_line + len(lines))
        if room is None:
            return None
        word = words.pop(0)
        joined = f"{line} {word}" if line else word
        if width(joined, typeface) <= room:
            line = joined
        elif line:
            lines.append(line)
            line = ""
            words.insert(0, word)
        else:
            head, *rest = split_word(word, room, typeface)
            lines.append(head)
            words[:0] = ["".join(rest)] if rest else []
    return lines + [line] if line else lines


def note_lines(product, typeface):
    """The note in lines: KELMORA's two phrases, one a line, where the
    first fits on one; else the whole sentence wrapped."""
    first, second = NOTE[0].format(product=product), NOTE[1]
    if width(first, typeface) <= line_room(0):
        rest = wrap(second.split(), typeface, first_line=1)
        if rest is not None:
            return [first] + rest
    lines = wrap(f"{first} {second}".split(), typeface)
    if lines is None:
        raise Refusal("the note 'Setup will install PRODUCT on this computer.' fits on the page "
                      "beside and below the button panel", repr(product))
    return lines


# --- The picture ----------------------------------------------------------------

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
    for radius, ring_width, level in [(190, 26, 40), (150, 2, 70), (120, 14, 34),
                                      (84, 2, 70), (60, 20, 30), (22, 2, 80)]:
        draw.ellipse((cx - radius, cy - radius, cx + radius, cy + radius),
                     outline=level, width=ring_width)
    rings = rings.filter(ImageFilter.GaussianBlur(1.2))
    ImageDraw.Draw(rings).rectangle((0, BAND_HEIGHT, WIDTH, HEIGHT), fill=0)
    paint(layer, WHITE_INK, rings)

    # A thin light rule under the band.
    rule = Image.new("L", (WIDTH, HEIGHT), 0)
    ImageDraw.Draw(rule).rectangle((0, BAND_HEIGHT, WIDTH, BAND_HEIGHT + 2),
                                   fill=255)
    paint(layer, BAND_RULE, rule)


def draw_text(layer, product, version, note):
    """Product word and title on the band; version and note on the page."""
    size = layer.size
    typeface, xy, spacing = word_placing(word_size(product))
    paint(layer, WHITE_INK, text_mask(size, xy, product, typeface, spacing))
    paint(layer, TITLE_TINT,
          text_mask(size, (LEFT_MARGIN, 102), TITLE, font(FONT_REGULAR, 20)))

    paint(layer, INK_DARK, text_mask(size, (LEFT_MARGIN, 172), version, font(FONT_BOLD, 15)))
    note_font = font(FONT_REGULAR, NOTE_SIZE)
    for i, line in enumerate(note):
        paint(layer, INK_SOFT,
              text_mask(size, (LEFT_MARGIN, NOTE_TOP + NOTE_LEADING * i), line, note_font))

    # Footer: a short accent rule and a quiet hint.
    rule = Image.new("L", size, 0)
    ImageDraw.Draw(rule).line((LEFT_MARGIN, FOOTER_Y, PANEL[2] - 1, FOOTER_Y),
                              fill=255)
    paint(layer, FOOTER_RULE, rule)
    paint(layer, INK_SOFT, text_mask(size, (LEFT_MARGIN, FOOTER_Y + 12),
                                     FOOTER, font(FONT_REGULAR, 12)))


def render_art(product, version, note):
    """Return the artwork as an RGBA layer; alpha 0 means plain page."""
    layer = Image.new("RGBA", (WIDTH, HEIGHT), (0, 0, 0, 0))
    draw_band(layer)
    draw_text(layer, product, version, note)
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


def check_texts(product, version):
    """The word and version as the design can draw them: printable
    Windows-1252 (the title's code page, all of it in DejaVu), neither
    empty nor with spaces at its ends; the version's line within the page."""
    for name, text in (("product word", product), ("version", version)):
        windows_1252(None, text)
        if not text.strip() or text != text.strip():
            raise Refusal(f"the {name} is not empty and has no spaces at its ends", repr(text))
    line = VERSION.format(version=version)
    if ink_right((LEFT_MARGIN, 172), line, font(FONT_BOLD, 15)) > RIGHT_EDGE:
        raise Refusal(f"the line {VERSION.format(version='X')!r} fits the page "
                      f"({RIGHT_EDGE - LEFT_MARGIN} pixels)", repr(version))


def splash(product, version):
    """The splash file's bytes in the KELMORA design for a product word and
    its version; refuses (hostlib.Refusal) what cannot be drawn whole."""
    check_texts(product, version)
    note = note_lines(product, font(FONT_REGULAR, NOTE_SIZE))
    art = render_art(product, VERSION.format(version=version), note)
    palette, indices, alpha = build_palette_image(art)
    first = (HEIGHT - 1) * WIDTH
    # The first pixel's entry is the page's alone.
    assert all(alpha[i] == 0 for i, index in enumerate(indices) if index == indices[first])
    return splash_file(palette, indices)
