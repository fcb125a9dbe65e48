"""The launcher's two pictures in the form its resources take.

The splash: 590 x 369, 8 bits per pixel, a 256-entry colour table,
uncompressed, 2834 pixels per metre, 219,512 bytes after the file header.
The loader recolours it: the three greys below become the user's 3-D
colours, and after a colour change the entry of the first pixel (the
bottom-left one) takes the 3-D face colour. So each grey is in the table
once and is used on the button panel only, and the first pixel's entry
belongs to the page.

The icon: one 32 x 32 image, 16 colours (the standard VGA palette), 4 bits
per pixel with an AND mask, 744 bytes.

Also the writers for both, their checks, and the command line the
converters share. A picture that cannot become a resource is refused
(hostlib.Refusal) with the rule and the value. Where the buttons and their
panel lie comes from the launcher's layout (brand/layout.py).
"""
import argparse
import io
import os
import struct
import tempfile

import hostlib
from hostlib import Refusal
from hostlib.files import write_files
from brand.art.picture import open_picture
from brand.layout import PANEL

# --- Splash ---------------------------------------------------------------

WIDTH, HEIGHT = 590, 369
ROW_BYTES = (WIDTH + 3) // 4 * 4                 # 592: rows padded to 4 bytes
PIXEL_BYTES = ROW_BYTES * HEIGHT                 # 218448
PELS_PER_METER = 2834                            # 72 dpi
PALETTE_SIZE = 256
INFO_HEADER_SIZE = 40
FILE_HEADER_SIZE = 14
SPLASH_RESOURCE_SIZE = INFO_HEADER_SIZE + 4 * PALETTE_SIZE + PIXEL_BYTES   # 219512

# The colours LR_LOADMAP3DCOLORS replaces with the user's 3-D colours.
GREY_SHADOW = (128, 128, 128)
GREY_FACE = (192, 192, 192)
GREY_LIGHT = (223, 223, 223)
GREYS = (GREY_SHADOW, GREY_FACE, GREY_LIGHT)
# The first table entries: the page (the first pixel's entry), then the
# panel's three greys.
INDEX_PAGE, INDEX_FACE, INDEX_LIGHT, INDEX_SHADOW = range(4)
RESERVED_ENTRIES = 4
ART_COLOURS = PALETTE_SIZE - RESERVED_ENTRIES
UNUSED_ENTRY = (0, 0, 0)

def panel_role(x, y):
    """The panel's table entry at a pixel, or None outside the panel:
    light on the top and left edges, shadow on the bottom and right."""
    left, top, right, bottom = PANEL
    if not (left <= x < right and top <= y < bottom):
        return None
    if x == right - 1 or y == bottom - 1:
        return INDEX_SHADOW
    if x == left or y == top:
        return INDEX_LIGHT
    return INDEX_FACE


def nudge(colour, taken):
    """Moves a colour by one step per channel until it is none of taken."""
    while colour in taken:
        colour = tuple(c - 1 if c > 0 else c + 1 for c in colour)
    return colour


def splash_file(palette, indices):
    """An 8-bit bottom-up BMP file from 256 RGB entries and top-down
    pixel indices."""
    info = struct.pack("<IiiHHIIiiII", INFO_HEADER_SIZE, WIDTH, HEIGHT, 1, 8, 0,
                       PIXEL_BYTES, PELS_PER_METER, PELS_PER_METER, PALETTE_SIZE, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    pad = b"\0" * (ROW_BYTES - WIDTH)
    rows = [indices[y * WIDTH:(y + 1) * WIDTH] + pad for y in reversed(range(HEIGHT))]
    body = info + table + b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", FILE_HEADER_SIZE + len(body), 0, 0,
                         FILE_HEADER_SIZE + len(info) + len(table))
    return header + body


def read_splash(data):
    """Checks a BMP file against every rule of the splash resource and
    returns its palette and top-down pixel indices; raises Refusal."""
    if len(data) != FILE_HEADER_SIZE + SPLASH_RESOURCE_SIZE:
        raise Refusal(f"a splash file has {FILE_HEADER_SIZE + SPLASH_RESOURCE_SIZE} bytes",
                       len(data))
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    if (magic, size, offset) != (b"BM", len(data), FILE_HEADER_SIZE + INFO_HEADER_SIZE + 1024):
        raise Refusal("not an uncompressed BMP with its table after a 40-byte header",
                       (magic, size, offset))
    fields = struct.unpack_from("<IiiHHIIiiII", data, FILE_HEADER_SIZE)
    expected = (INFO_HEADER_SIZE, WIDTH, HEIGHT, 1, 8, 0, PIXEL_BYTES, PELS_PER_METER,
                PELS_PER_METER)
    if fields[:9] != expected or fields[9] not in (0, PALETTE_SIZE):
        raise Refusal("the header is not 590 x 369, 8 bits, BI_RGB, 2834 pixels per metre",
                       fields)
    table = data[FILE_HEADER_SIZE + INFO_HEADER_SIZE:offset]
    palette = [(table[i + 2], table[i + 1], table[i]) for i in range(0, 1024, 4)]
    pixels = data[offset:]
    indices = bytearray()
    for y in range(HEIGHT):
        row = pixels[(HEIGHT - 1 - y) * ROW_BYTES:(HEIGHT - y) * ROW_BYTES]
        if any(row[WIDTH:]):
            raise Refusal("row padding must be zero", f"row {y}")
        indices += row[:WIDTH]

    for grey in GREYS:
        if palette.count(grey) != 1:
            raise Refusal("each 3-D grey is in the colour table exactly once",
                           f"{grey} is there {palette.count(grey)} times")
    grey_entries = {palette.index(g): g for g in GREYS}
    role_colour = {INDEX_FACE: GREY_FACE, INDEX_LIGHT: GREY_LIGHT, INDEX_SHADOW: GREY_SHADOW}
    first = indices[(HEIGHT - 1) * WIDTH]
    if palette[first] in GREYS or palette.count(palette[first]) != 1:
        raise Refusal("the first pixel's colour is in the table once and is no 3-D grey",
                       palette[first])
    for y in range(HEIGHT):
        for x in range(WIDTH):
            index = indices[y * WIDTH + x]
            role = panel_role(x, y)
            if role is None and index in grey_entries:
                raise Refusal("the 3-D greys are used on the button panel only",
                               f"{grey_entries[index]} at x {x}, y {y}")
            if role is not None and palette[index] != role_colour[role]:
                raise Refusal("the button panel is drawn in the 3-D greys",
                               f"{palette[index]} at x {x}, y {y}")
    return palette, bytes(indices)


# --- Icon -----------------------------------------------------------------

ICON_SIZE = 32
ICON_COLOURS = 16
ICON_IMAGE_SIZE = INFO_HEADER_SIZE + 4 * ICON_COLOURS + ICON_SIZE * ICON_SIZE // 2 \
    + ICON_SIZE * ICON_SIZE // 8                 # 744
ICON_DIR_SIZE = 6 + 16
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT = None


def icon_file(grid):
    """A one-image ICO file from 32 rows (top-down) of VGA palette indices,
    TRANSPARENT where the icon shows what lies behind it."""
    xor_rows, and_rows = [], []
    for row in reversed(grid):                       # bottom-up
        nibbles = [0 if c is TRANSPARENT else c for c in row]
        xor_rows.append(bytes(a << 4 | b for a, b in zip(nibbles[0::2], nibbles[1::2])))
        bits = 0
        for c in row:
            bits = bits << 1 | (c is TRANSPARENT)
        and_rows.append(bits.to_bytes(ICON_SIZE // 8, "big"))
    info = struct.pack("<IiiHHIIiiII", INFO_HEADER_SIZE, ICON_SIZE, ICON_SIZE * 2, 1, 4, 0,
                       0, 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA_PALETTE)
    image = info + table + b"".join(xor_rows) + b"".join(and_rows)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, ICON_COLOURS, 0, 1, 4,
                        len(image), ICON_DIR_SIZE)
    return icondir + entry + image


def read_icon(data):
    """Checks an ICO file against the icon resource's rules and returns its
    rows (top-down) of palette indices, TRANSPARENT where masked;
    raises Refusal."""
    if len(data) != ICON_DIR_SIZE + ICON_IMAGE_SIZE:
        raise Refusal(f"an icon file has {ICON_DIR_SIZE + ICON_IMAGE_SIZE} bytes", len(data))
    if struct.unpack_from("<HHH", data, 0) != (0, 1, 1):
        raise Refusal("an icon file holds exactly one image", struct.unpack_from("<HHH", data, 0))
    entry = struct.unpack_from("<BBBBHHII", data, 6)
    if entry != (ICON_SIZE, ICON_SIZE, ICON_COLOURS, 0, 1, 4, ICON_IMAGE_SIZE, ICON_DIR_SIZE):
        raise Refusal("the image is 32 x 32, 16 colours, 4 bits, 744 bytes", entry)
    fields = struct.unpack_from("<IiiHHIIiiII", data, ICON_DIR_SIZE)
    if fields[:6] != (INFO_HEADER_SIZE, ICON_SIZE, ICON_SIZE * 2, 1, 4, 0):
        raise Refusal("the image header is 32 x 64, 4 bits, BI_RGB", fields)
    start = ICON_DIR_SIZE + INFO_HEADER_SIZE
    table = data[start:start + 4 * ICON_COLOURS]
    if [(table[i + 2], table[i + 1], table[i]) for i in range(0, 64, 4)] != VGA_PALETTE:
        raise Refusal("the icon's colours are the 16 VGA colours", table.hex())
    xor = data[start + 64:start + 64 + 512]
    mask = data[start + 64 + 512:]
    grid = []
    for y in range(ICON_SIZE):
        r = ICON_SIZE - 1 - y
        row = []
        for x in range(ICON_SIZE):
            nibble = xor[r * 16 + x // 2] >> (4 if x % 2 == 0 else 0) & 0xF
            masked = mask[r * 4 + x // 8] >> (7 - x % 8) & 1
            row.append(TRANSPARENT if masked else nibble)
        grid.append(row)
    return grid


# --- Reading any picture and writing outputs ------------------------------

def png_bytes(image):
    """A picture as the bytes of a PNG file."""
    out = io.BytesIO()
    image.save(out, "PNG", optimize=True)
    return out.getvalue()


def converter_main(description, setting, read, convert, minimum, add_options, previews,
                   largest=None, drawing=None, usage=None):
    """The command line both converters share: PICTURE OUTPUT, --setting
    (the name messages give), --check (convert and say what the
    conversion found, but write nothing: PICTURE alone), and each one's
    preview options. A picture that read() accepts is taken byte for byte;
    any other is opened and given to convert(picture, say).
    drawing(arguments), where given, tells whether the arguments ask for a
    picture the tool draws itself instead: None if not, else draw(say),
    which gives its bytes; then the one file named is the output (none
    with --check). previews(arguments, checked) gives the preview files.
    A refusal prints the setting and the rule, writes nothing and exits
    with 1."""
    parser = argparse.ArgumentParser(description=description, usage=usage)
    parser.add_argument("--setting", default=setting,
                        help=f"the setting named in messages (default: {setting})")
    parser.add_argument("--check", action="store_true",
                        help="only convert and say what the conversion found; write nothing")
    add_options(parser)
    parser.add_argument("picture", nargs="?")
    parser.add_argument("output", nargs="?")
    arguments = parser.parse_args()

    def say(text):
        print(f"{arguments.setting}: {text}")

    def converted():
        if arguments.picture is None:
            parser.error("the picture is needed")
        if not arguments.check and arguments.output is None:
            parser.error("the output is needed unless --check is given")
        try:
            with open(arguments.picture, "rb") as source:
                data = source.read()
            checked = read(data)
            say(f"{arguments.picture} is in the launcher's form already: taken as it is")
        except (Refusal, OSError):
            data = convert(open_picture(arguments.picture, minimum, say, largest), say)
            checked = read(data)
        return arguments.output, data, checked

    def drawn(draw):
        # Both places take the one file named: the first is PICTURE to argparse.
        named = [path for path in (arguments.picture, arguments.output) if path is not None]
        if arguments.check and named:
            raise Refusal("a drawn picture with --check names no file: nothing is written",
                          " ".join(named))
        if not arguments.check and len(named) != 1:
            raise Refusal("a drawn picture is named by its output alone, with no picture",
                          " ".join(named) or "no output given")
        data = draw(say)
        return (named or [None])[0], data, read(data)

    def main():
        draw = drawing(arguments) if drawing else None
        output, data, checked = converted() if draw is None else drawn(draw)
        if arguments.check:
            return
        outputs = {output: data}
        outputs.update(previews(arguments, checked))
        write_files(outputs)

    hostlib.run(main, arguments.setting)
