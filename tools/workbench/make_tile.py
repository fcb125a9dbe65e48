# Writes the workbench's tile bitmap, WORKBENCH_TILE: a 32 x 32 picture of
# a compact disc on a teal ground, 24 bits per pixel, whose edges meet
# without a seam when it is tiled.
import sys

from PIL import Image, ImageDraw

SIZE = 32
# Drawn four times larger and scaled down, for smooth edges.
SCALE = 4
GROUND = (0, 128, 128)
RIM = (96, 96, 112)
SILVER = (212, 216, 224)
SHEEN = (168, 200, 236)
HUB = (240, 240, 240)


def disc(draw, centre, radius, fill, outline=None, width=0):
    box = [centre - radius, centre - radius, centre + radius, centre + radius]
    draw.ellipse(box, fill=fill, outline=outline, width=width)


big = SIZE * SCALE
picture = Image.new("RGB", (big, big), GROUND)
draw = ImageDraw.Draw(picture)
middle = big // 2
disc(draw, middle, 13 * SCALE, SILVER, RIM, SCALE)
# A band of light across the playing surface.
draw.pieslice([middle - 12 * SCALE, middle - 12 * SCALE, middle + 12 * SCALE, middle + 12 * SCALE],
              200, 250, fill=SHEEN)
disc(draw, middle, 5 * SCALE, HUB, RIM, SCALE // 2)
disc(draw, middle, 2 * SCALE, GROUND)
picture.resize((SIZE, SIZE), Image.LANCZOS).save(sys.argv[1], "BMP")
