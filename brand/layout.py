"""The launcher's layout as the brand tools need it, taken from the
launcher's contract (launcher/contract.toml) and derived from it: the
room the title leaves the product word and the version, the room of a
button's text, and the buttons and the 3-D panel round them in picture
coordinates.

Rectangles are (left, top, right, bottom), right and bottom exclusive.
"""
from launcher.contract import LAUNCHER

LAUNCHER_WIDTH = LAUNCHER.width
SPLASH_LEFT, SPLASH_TOP = LAUNCHER.panel["splash_left"], LAUNCHER.panel["splash_top"]
BUTTON_TOP = LAUNCHER.button_top
BUTTON_WIDTH, BUTTON_HEIGHT = LAUNCHER.button_width, LAUNCHER.button_height
BUTTON_FONT_FACE, BUTTON_FONT_POINTS = LAUNCHER.button_font_face, LAUNCHER.button_font_points
TITLE_SIZE = LAUNCHER.title_size
LONGEST_DOS_NAME = LAUNCHER.dos_name
# What the product word and the version may take together, so that the
# title of a launcher with the longest 8.3 name still fits.
WORD_AND_VERSION_LIMIT = LAUNCHER.title_room(LAUNCHER.title_format(""), "") - LONGEST_DOS_NAME
# The texts the buttons show, in English.
START_TEXT = LAUNCHER.text(LAUNCHER.buttons["start"].text).english
DONT_TEXT = LAUNCHER.text(LAUNCHER.buttons["dont"].text).english

# --- The buttons on the picture ------------------------------------------------

# The launcher places its buttons against the client area's right edge,
# which it reads at run time: the window's width less its frame, a system
# metric no contract holds. The launcher's window has a fixed frame
# (SM_CXFIXEDFRAME), 3 pixels a side with the classic metrics, so its
# client area is 624 pixels wide.
FIXED_FRAME = 3
CLIENT_WIDTH = LAUNCHER_WIDTH - 2 * FIXED_FRAME


def button(offset):
    """A button whose left edge lies offset from the client area's right
    edge, in picture coordinates."""
    left, top = CLIENT_WIDTH - offset - SPLASH_LEFT, BUTTON_TOP - SPLASH_TOP
    return (left, top, left + BUTTON_WIDTH, top + BUTTON_HEIGHT)


START_BUTTON = button(LAUNCHER.buttons["start"].offset)
DONT_BUTTON = button(LAUNCHER.buttons["dont"].offset)
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
