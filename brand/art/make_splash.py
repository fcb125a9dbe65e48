#!/usr/bin/python3
"""Turns a picture into the launcher's splash resource, with previews, or
draws the splash in the KELMORA design for a product.

    make_splash.py [--setting NAME] [--previews DIR [--buttons FILE]] PICTURE OUTPUT.bmp
    make_splash.py [--setting NAME] [--previews DIR [--buttons FILE]]
                   --draw --product WORD --version A.B.C OUTPUT.bmp

With --draw the splash is KELMORA's design (design.py) with the product's
word and "Version A.B.C", in English; for KELMORA 2.31.005 it is the
committed brand/kelmora/tarnell.bmp byte for byte.

A BMP that already is a launcher splash is taken byte for byte. Any other
picture (PNG, JPEG, BMP, ...) of at least 50 x 50 pixels is fitted whole
into 590 x 369 with a Lanczos filter and padded with its page colour, the
colour most common along its edge. The backdrop (the pixels of about that
colour that reach the edge, and the padding) gets the first table entry:
it is the first pixel's, and after a system colour change the loader gives
it the 3-D face colour. The 3-D panel that the buttons stand on is laid in
the loader's three greys, which are nudged off every other colour. The
rest is quantised to 252 colours, dithered where the picture is smooth
and left undithered on edges and text, so that lettering stays crisp.

With --previews, writes splash.png and splash-after-colour-change.png: the
picture as the launcher shows it in the Windows Standard colours, and after
a change to a dark scheme; with --buttons too, splash-CODE.png for each
language the launcher carries. Refusals name the setting and the rule; then no
file is written.
"""
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont, features

# The project's root, where hostlib and the brand package are found.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
from hostlib import Refusal  # noqa: E402
from brand.art import design  # noqa: E402
from brand.art.artformat import (ART_COLOURS, GREYS, GREY_FACE, GREY_LIGHT,  # noqa: E402
                                 GREY_SHADOW, HEIGHT, INDEX_PAGE, PALETTE_SIZE, RESERVED_ENTRIES,
                                 UNUSED_ENTRY, WIDTH, converter_main, nudge, panel_role,
                                 png_bytes, read_splash, splash_file)
from brand.layout import DONT_BUTTON, DONT_TEXT, PANEL, START_BUTTON, START_TEXT  # noqa: E402
from brand.make_brand import kelmora_brand  # noqa: E402

# KELMORA's splash, which the design draws for its word and version.
KELMORA_SPLASH = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                              "kelmora", "tarnell.bmp")
MINIMUM_SIDE = 50
# A picture of more pixels than this is refused unread: 64 megapixels
# (a 48-megapixel camera picture fits) is over 300 times the splash's own,
# and decoding it already takes a quarter of a gigabyte.
LARGEST = (10000, 6400)
# How far (per channel) a pixel may stray from the page colour and still
# be backdrop: JPEG noise on a plain page stays within it.
PAGE_TOLERANCE = 8
# A picture has a backdrop when at least this share of its edge is of
# about the page colour; a photograph or a gradient has none.
BACKDROP_EDGE_SHARE = 0.25
# An edge in the luminance at least this strong keeps its pixels undithered.
EDGE_THRESHOLD = 24
# A dithered pixel may stray at most this much further (per channel) from
# the picture than the nearest colour does. Error diffusion carries the
# error it meets on edges and text, where its pixels are not kept, into the
# smooth area beside them, and there it would pick the colour of the
# lettering or of a bright object: single dots far off the picture's own
# colour. About one step between the colours of a smooth 252-colour ramp.
DITHER_SPREAD = 16
SOFT_ENLARGEMENT = 2.0

# System colours of the previews: (3-D face, light, shadow, window).
STANDARD_SCHEME = {"face": GREY_FACE, "light": GREY_LIGHT, "shadow": GREY_SHADOW,
                   "window": (255, 255, 255), "text": (0, 0, 0), "highlight": (255, 255, 255),
                   "dark": (0, 0, 0)}
DARK_SCHEME = {"face": (48, 48, 56), "light": (80, 80, 88), "shadow": (24, 24, 28),
               "window": (0, 0, 0), "text": (255, 255, 255), "highlight": (112, 112, 120),
               "dark": (0, 0, 0)}
PREVIEW_FIRST = "splash.png"
PREVIEW_AFTER = "splash-after-colour-change.png"
BUTTON_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BUTTON_FONT_SIZE = 11


def page_colour(picture):
    """The colour most common along the picture's edge, and whether the
    picture has a backdrop of about that colour."""
    width, height = picture.size
    counts = {}
    load = picture.load()
    edge = [load[x, y][:3] for x in range(width) for y in (0, height - 1)] + \
        [load[x, y][:3] for y in range(1, height - 1) for x in (0, width - 1)]
    for colour in edge:
        counts[colour] = counts.get(colour, 0) + 1
    page = max(counts, key=lambda c: (counts[c], c))
    near = sum(max(abs(a - b) for a, b in zip(colour, page)) <= PAGE_TOLERANCE for colour in edge)
    return page, near >= BACKDROP_EDGE_SHARE * len(edge)


def fit(picture, page):
    """Scales the picture whole into the splash size and centres it on
    the page colour; returns the canvas, the scale and the placed box."""
    width, height = picture.size
    scale = min(WIDTH / width, HEIGHT / height)
    size = (max(1, min(WIDTH, round(width * scale))), max(1, min(HEIGHT, round(height * scale))))
    # Premultiplied, so transparent pixels lend no colour to their edges.
    scaled = picture.convert("RGBa").resize(size, Image.LANCZOS).convert("RGBA")
    flat = Image.new("RGB", size, page)
    flat.paste(scaled, (0, 0), scaled)
    canvas = Image.new("RGB", (WIDTH, HEIGHT), page)
    box = ((WIDTH - size[0]) // 2, (HEIGHT - size[1]) // 2)
    canvas.paste(flat, box)
    return canvas, scale, box + (box[0] + size[0], box[1] + size[1])


def backdrop_mask(canvas, page, box, plain):
    """255 where the pixel is backdrop, else 0: the padding round the
    placed picture and, when the picture has a plain backdrop, the pixels
    within the tolerance of the page colour that are joined to the edge
    through such pixels."""
    if not plain:
        mask = Image.new("L", canvas.size, 255)
        mask.paste(0, box)
        return mask
    difference = ImageChops.difference(canvas, Image.new("RGB", canvas.size, page))
    red, green, blue = difference.split()
    near = ImageChops.lighter(ImageChops.lighter(red, green), blue)
    near = near.point(lambda v: 255 if v <= PAGE_TOLERANCE else 0)
    # A frame of near pixels round the picture joins every edge pixel to one
    # start point for the fill.
    framed = Image.new("L", (WIDTH + 2, HEIGHT + 2), 255)
    framed.paste(near, (1, 1))
    ImageDraw.floodfill(framed, (0, 0), 128)
    reached = framed.crop((1, 1, WIDTH + 1, HEIGHT + 1))
    return reached.point(lambda v: 255 if v == 128 else 0)


def art_palette(canvas, taken):
    """Up to 252 colours for the picture; exact when it has no more, else
    from libimagequant (median cut where PIL lacks it)."""
    colours = canvas.getcolors(ART_COLOURS)
    if colours is not None:
        palette = [colour for _, colour in sorted(colours, key=lambda c: (-c[0], c[1]))]
        exact = True
    else:
        method = Image.Quantize.LIBIMAGEQUANT if features.check_feature("libimagequant") \
            else Image.Quantize.MEDIANCUT
        quantised = canvas.quantize(ART_COLOURS, method=method, dither=Image.Dither.NONE)
        raw = quantised.getpalette()[:3 * ART_COLOURS]
        palette = [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]
        exact = False
    nudged = [nudge(colour, taken) for colour in palette]
    return nudged, exact, sum(a != b for a, b in zip(palette, nudged))


def channel_distance(image, other):
    """Per pixel, the largest difference of one channel between two RGB
    pictures, as an L picture."""
    red, green, blue = ImageChops.difference(image, other).split()
    return ImageChops.lighter(ImageChops.lighter(red, green), blue)


def map_colours(canvas, palette, exact):
    """Indexes of the palette for every pixel: Floyd-Steinberg in smooth
    areas, nearest colour on edges (and everywhere when exact), and where
    the dithered colour strays more than DITHER_SPREAD further from the
    picture than the nearest one."""
    table = Image.new("P", (1, 1))
    padded = palette + [palette[0]] * (PALETTE_SIZE - len(palette))
    table.putpalette([c for colour in padded for c in colour])
    plain = canvas.quantize(palette=table, dither=Image.Dither.NONE)
    if exact:
        return plain.tobytes(), None
    dithered = canvas.quantize(palette=table, dither=Image.Dither.FLOYDSTEINBERG)
    edges = canvas.convert("L").filter(ImageFilter.FIND_EDGES).filter(ImageFilter.MaxFilter(3))
    crisp = edges.point(lambda v: 255 if v >= EDGE_THRESHOLD else 0)
    stray = ImageChops.subtract(channel_distance(canvas, dithered.convert("RGB")),
                                channel_distance(canvas, plain.convert("RGB")))
    crisp = ImageChops.lighter(crisp, stray.point(lambda v: 255 if v > DITHER_SPREAD else 0))
    return Image.composite(plain, dithered, crisp).tobytes(), crisp.tobytes()


def convert(picture, say):
    """The splash file (bytes) for an RGBA picture."""
    flat = Image.new("RGB", picture.size, (255, 255, 255))
    flat.paste(picture, (0, 0), picture)
    page, plain = page_colour(flat)
    page = nudge(page, GREYS)
    canvas, scale, box = fit(picture, page)
    backdrop = backdrop_mask(canvas, page, box, plain).tobytes()

    palette, exact, nudged = art_palette(canvas, GREYS + (page,))
    mapped, crisp = map_colours(canvas, palette, exact)

    indices = bytearray(WIDTH * HEIGHT)
    covered = art = dithered = 0
    for i in range(WIDTH * HEIGHT):
        x, y = i % WIDTH, i // WIDTH
        role = panel_role(x, y)
        if role is not None:
            indices[i] = role
            covered += not backdrop[i]
        elif backdrop[i]:
            indices[i] = INDEX_PAGE
        else:
            indices[i] = RESERVED_ENTRIES + mapped[i]
            art += 1
            dithered += crisp is not None and not crisp[i]
    first = (HEIGHT - 1) * WIDTH
    corner_is_page = bool(backdrop[first])
    indices[first] = INDEX_PAGE

    table = [page, GREY_FACE, GREY_LIGHT, GREY_SHADOW] + palette
    table += [UNUSED_ENTRY] * (PALETTE_SIZE - len(table))

    width, height = picture.size
    if (box[2] - box[0], box[3] - box[1]) == (WIDTH, HEIGHT):
        say(f"{width} x {height} scaled to {WIDTH} x {HEIGHT}")
    else:
        say(f"{width} x {height} scaled to {box[2] - box[0]} x {box[3] - box[1]} and padded "
            f"with the page colour {page}")
    if scale > SOFT_ENLARGEMENT:
        say(f"warning: enlarged {scale:.1f} times, it will look soft; "
            f"a picture of {WIDTH} x {HEIGHT} stays sharp")
    share = 100.0 * backdrop.count(255) / len(backdrop)
    if corner_is_page:
        say(f"backdrop: {share:.0f}% of the picture in {page}; after a system colour change "
            "it shows the user's 3-D face colour")
    else:
        say("warning: the bottom-left corner is no plain backdrop: its one pixel takes the page "
            f"entry {page}, and a colour change recolours "
            f"{'only that pixel' if share == 0 else f'{share:.0f}% of the picture'}")
    say(f"{'exact colours' if exact else 'quantised to 252 colours'}"
        f"{f', dithered on {100.0 * dithered / art:.0f}% of the art' if dithered else ''}"
        f"{f', {nudged} nudged off the 3-D greys and the page colour' if nudged else ''}")
    if covered:
        left, top, right, bottom = PANEL
        say(f"warning: {covered} pixels of art lie under the button panel (x {left} to {right - 1}, "
            f"y {top} to {bottom - 1}) and are covered")
    return splash_file(table, bytes(indices))


# --- Previews ---------------------------------------------------------------

def shown_palette(palette, first, scheme, after_change):
    """The table as the loader leaves it: the greys in the scheme's 3-D
    colours and, on the reload after a colour change, the first pixel's
    entry in the 3-D face colour (LR_LOADTRANSPARENT together with
    LR_LOADMAP3DCOLORS takes the face colour, not the window colour)."""
    shown = []
    for index, colour in enumerate(palette):
        colour = {GREY_FACE: scheme["face"], GREY_LIGHT: scheme["light"],
                  GREY_SHADOW: scheme["shadow"]}.get(colour, colour)
        if after_change and index == first:
            colour = scheme["face"]
        shown.append(colour)
    return shown


def draw_button(draw, box, text, scheme, font, default):
    """A push button in the classic look, near enough to judge the layout."""
    left, top, right, bottom = box
    right, bottom = right - 1, bottom - 1
    draw.rectangle((left, top, right, bottom), fill=scheme["face"])
    if default:
        draw.rectangle((left, top, right, bottom), outline=scheme["dark"])
        left, top, right, bottom = left + 1, top + 1, right - 1, bottom - 1
    draw.line((left, bottom, left, top, right, top), fill=scheme["highlight"])
    draw.line((left, bottom, right, bottom, right, top), fill=scheme["dark"])
    draw.line((left + 1, bottom - 1, right - 1, bottom - 1, right - 1, top + 1), fill=scheme["shadow"])
    centre = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
    draw.text(centre, text, fill=scheme["text"], font=font, anchor="mm")


def preview(palette, indices, scheme, after_change, buttons=(START_TEXT, DONT_TEXT)):
    """The picture as the launcher shows it, buttons included."""
    first = indices[(HEIGHT - 1) * WIDTH]
    image = Image.frombytes("P", (WIDTH, HEIGHT), indices)
    image.putpalette([c for colour in shown_palette(palette, first, scheme, after_change)
                      for c in colour])
    image = image.convert("RGB")
    draw = ImageDraw.Draw(image)
    font = ImageFont.truetype(BUTTON_FONT, BUTTON_FONT_SIZE)
    draw_button(draw, START_BUTTON, buttons[0], scheme, font, True)
    draw_button(draw, DONT_BUTTON, buttons[1], scheme, font, False)
    return image


USAGE = """
    %(prog)s [--setting NAME] [--check] [--previews DIR [--buttons FILE]] PICTURE [OUTPUT.bmp]
    %(prog)s [--setting NAME] [--check] [--previews DIR [--buttons FILE]]
        --draw --product WORD --version A.B.C [OUTPUT.bmp]"""


def add_options(parser):
    parser.add_argument("--draw", action="store_true",
                        help="draw the splash in the KELMORA design with --product and --version "
                             "instead of converting a picture")
    parser.add_argument("--product", metavar="WORD", help="with --draw, the product word")
    parser.add_argument("--version", metavar="A.B.C", help="with --draw, the product's version")
    parser.add_argument("--previews", metavar="DIR",
                        help=f"write {PREVIEW_FIRST} and {PREVIEW_AFTER} into DIR")
    parser.add_argument("--buttons", metavar="FILE",
                        help="with --previews, also write splash-CODE.png for every line "
                             "CODE<tab>START<tab>DONT of FILE (UTF-8), with those buttons")


def previews(arguments, checked):
    if not arguments.previews:
        return {}
    palette, indices = checked
    files = {os.path.join(arguments.previews, PREVIEW_FIRST):
             png_bytes(preview(palette, indices, STANDARD_SCHEME, False)),
             os.path.join(arguments.previews, PREVIEW_AFTER):
             png_bytes(preview(palette, indices, DARK_SCHEME, True))}
    files.update(language_previews(arguments, palette, indices))
    return files


def language_previews(arguments, palette, indices):
    """One picture per language the launcher carries, in the Standard
    colours, with its buttons' texts (written by the brand tool)."""
    if not arguments.buttons:
        return {}
    try:
        with open(arguments.buttons, encoding="utf-8") as listing:
            lines = listing.read().splitlines()
    except (OSError, UnicodeDecodeError) as error:
        raise Refusal("the button texts cannot be read",
                       f"{arguments.buttons} ({error})") from None
    files = {}
    for line in lines:
        fields = line.split("\t")
        if len(fields) != 3:
            raise Refusal("a line of the button texts is CODE<tab>START<tab>DONT", line)
        code, start, dont = fields
        files[os.path.join(arguments.previews, f"splash-{code}.png")] = \
            png_bytes(preview(palette, indices, STANDARD_SCHEME, False, (start, dont)))
    return files


def drawing(arguments):
    """With --draw, what draws the splash for the product and version."""
    texts = {"--product": arguments.product, "--version": arguments.version}
    if not arguments.draw:
        given = [option for option, text in texts.items() if text is not None]
        if given:
            raise Refusal("--product and --version are for a drawn splash: give --draw too",
                          ", ".join(given))
        return None
    missing = [option for option, text in texts.items() if text is None]
    if missing:
        raise Refusal("a drawn splash needs the product word and the version",
                      f"{' and '.join(missing)} not given")

    def draw(say):
        product, version = arguments.product, arguments.version
        kelmora = kelmora_brand()
        if (product, version) == (kelmora["product"], kelmora["version"]):
            # What the design draws for it, byte for byte, whatever PIL
            # this machine has: the default launcher stays the same.
            with open(KELMORA_SPLASH, "rb") as source:
                say(f"KELMORA's own, {KELMORA_SPLASH}")
                return source.read()
        data = design.splash(product, version)
        size = design.word_size(product)
        say(f"drawn in the KELMORA design for {product!r}, version {version}; the word at "
            f"{size} pixels{'' if size == design.WORD_SIZE else ', to fit the band'}")
        return data
    return draw


if __name__ == "__main__":
    converter_main("Turns a picture into the launcher's splash, or draws one.", "TARNELL_SPLASH",
                   read_splash, convert, MINIMUM_SIDE, add_options, previews, LARGEST,
                   drawing, USAGE)
