"""The launcher's layout and title format as the brand tools need them,
read from the launcher's own header, launcher/layout.h, and derived from
it: the room the title leaves the product word and the version, the
English title as a language file writes it, the room of a button's text,
and the buttons and the 3-D panel round them in picture coordinates.

Rectangles are (left, top, right, bottom), right and bottom exclusive.
"""
import os
import re

LAYOUT_H = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        "launcher", "layout.h")
# Deliberately simple: "#define NAME 123" or "#define NAME "text"", the
# forms layout.h keeps to.
DEFINE = re.compile(r'^#define\s+(\w+)\s+(?:(\d+)|"([^"\\]*)")\s*$')


def read_defines(path=LAYOUT_H):
    """{NAME: int or str} of the header's number and string #defines."""
    defines = {}
    with open(path, encoding="ascii") as header:
        for line in header:
            match = DEFINE.match(line.strip())
            if match:
                name, number, text = match.groups()
                defines[name] = int(number) if number is not None else text
    return defines


_HEADER = read_defines()
LAUNCHER_WIDTH = _HEADER["LAUNCHER_WIDTH"]
SPLASH_LEFT, SPLASH_TOP = _HEADER["SPLASH_LEFT"], _HEADER["SPLASH_TOP"]
BUTTON_TOP = _HEADER["BUTTON_TOP"]
BUTTON_WIDTH, BUTTON_HEIGHT = _HEADER["BUTTON_WIDTH"], _HEADER["BUTTON_HEIGHT"]
BUTTON_FONT_FACE, BUTTON_FONT_POINTS = _HEADER["BUTTON_FONT_FACE"], _HEADER["BUTTON_FONT_POINTS"]
TITLE_LEAD, TITLE_WORDS = _HEADER["TITLE_LEAD"], _HEADER["TITLE_WORDS"]
TITLE_SIZE = _HEADER["TITLE_SIZE"]
LONGEST_DOS_NAME = _HEADER["DOS_NAME_CHARS"]

# --- The title ---------------------------------------------------------------

FIELD = "%s"
# The characters the title holds, and of them the fixed text's: the lead,
# and the words without their two fields.
TITLE_LIMIT = TITLE_SIZE - 1
TITLE_FIXED = len(TITLE_LEAD) + len(TITLE_WORDS) - 2 * len(FIELD)
# With the longest 8.3 name, what the product word and the version may
# take together.
WORD_AND_VERSION_LIMIT = TITLE_LIMIT - LONGEST_DOS_NAME - TITLE_FIXED
# The English title as a language file gives a title: the lead is not
# written, and the fields are named.
ENGLISH_TITLE = "{product}" + TITLE_WORDS.replace(FIELD, "{file}", 1).replace(FIELD, "{version}", 1)

# --- The buttons on the picture ------------------------------------------------

# The launcher places its buttons against the client area's right edge,
# which it reads at run time: the window's width less its frame, a system
# metric no header holds. The launcher's window has a fixed frame
# (SM_CXFIXEDFRAME), 3 pixels a side with the classic metrics, so its
# client area is 624 pixels wide.
FIXED_FRAME = 3
CLIENT_WIDTH = LAUNCHER_WIDTH - 2 * FIXED_FRAME


def button(offset):
    """A button whose left edge lies offset from the client area's right
    edge, in picture coordinates."""
    left, top = CLIENT_WIDTH - offset - SPLASH_LEFT, BUTTON_TOP - SPLASH_TOP
    return (left, top, left + BUTTON_WIDTH, top + BUTTON_HEIGHT)


START_BUTTON = button(_HEADER["START_BUTTON_OFFSET"])
DONT_BUTTON = button(_HEADER["DONT_BUTTON_OFFSET"])
BUTTON_BAND = (min(START_BUTTON[0], DONT_BUTTON[0]), START_BUTTON[1],
               max(START_BUTTON[2], DONT_BUTTON[2]), START_BUTTON[3])
# The art's 3-D panel under the buttons reaches this far beside and above
# and below the band they stand in: more than the 8 pixels that set the
# buttons off from the art round them.
PANEL_MARGIN_X, PANEL_MARGIN_Y = 16, 14
PANEL = (BUTTON_BAND[0] - PANEL_MARGIN_X, BUTTON_BAND[1] - PANEL_MARGIN_Y,
         BUTTON_BAND[2] + PANEL_MARGIN_X, BUTTON_BAND[3] + PANEL_MARGIN_Y)

# A button's text may take its width less, on each side, 2 pixels of 3-D
# edge and 2 of focus rectangle and gap.
BUTTON_EDGE = 4
BUTTON_TEXT_ROOM = BUTTON_WIDTH - 2 * BUTTON_EDGE
