"""The trial's pictures, its sheet and its report: each version's picture
as VERSION.png, all eleven side by side in sheet.png, labelled with the
version and the verdict, and the table of report.txt."""
import os

from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
TILE = (320, 240)
LABEL_HEIGHT = 40
COLUMNS = 4
GAP = 8
BACKGROUND = (40, 44, 52)
NOTHING_SHOWN = (96, 96, 96)
PASS_COLOUR = (80, 200, 120)
FAIL_COLOUR = (240, 90, 80)


def picture(shot, facts):
    """The picture of what the version showed, or a plain panel that says
    what happened instead."""
    if shot and os.path.isfile(shot):
        try:
            with Image.open(shot) as image:
                return image.convert("RGB")
        except OSError:
            pass
    image = Image.new("RGB", TILE, NOTHING_SHOWN)
    draw = ImageDraw.Draw(image)
    text = {"nothing": "nothing shown", "crash": "crashed"}.get(facts.get("appeared"),
                                                                 "no answer")
    draw.text((TILE[0] // 2, TILE[1] // 2), text, fill=(255, 255, 255),
              font=ImageFont.truetype(BOLD, 20), anchor="mm")
    return image


def make_sheet(rows, path):
    """rows: (shown name, picture, as promised, reason)."""
    count = len(rows)
    columns = min(COLUMNS, count)
    lines = (count + columns - 1) // columns
    width = columns * (TILE[0] + GAP) + GAP
    height = lines * (TILE[1] + LABEL_HEIGHT + GAP) + GAP
    sheet = Image.new("RGB", (width, height), BACKGROUND)
    draw = ImageDraw.Draw(sheet)
    bold, small = ImageFont.truetype(BOLD, 14), ImageFont.truetype(FONT, 11)
    for index, (name, image, good, reason) in enumerate(rows):
        left = GAP + (index % columns) * (TILE[0] + GAP)
        top = GAP + (index // columns) * (TILE[1] + LABEL_HEIGHT + GAP)
        thumb = image.copy()
        thumb.thumbnail(TILE, Image.LANCZOS)
        sheet.paste(thumb, (left + (TILE[0] - thumb.width) // 2, top + (TILE[1] - thumb.height) // 2))
        colour = PASS_COLOUR if good else FAIL_COLOUR
        draw.rectangle((left, top + TILE[1], left + TILE[0] - 1, top + TILE[1] + 3), fill=colour)
        draw.text((left, top + TILE[1] + 6), f"{name}: {'as promised' if good else 'FELL SHORT'}",
                  fill=colour, font=bold)
        draw.text((left, top + TILE[1] + 24), shorten(draw, reason, small, TILE[0]),
                  fill=(220, 220, 220), font=small)
    sheet.save(path)


def shorten(draw, text, font, width):
    if draw.textlength(text, font=font) <= width:
        return text
    while text and draw.textlength(text + "...", font=font) > width:
        text = text[:-1]
    return text + "..."


def report(rows):
    """rows: (shown name, tree, appeared, setup, as promised, reason);
    the report's text."""
    header = ("Version", "Tree", "What appeared", "SETUP.EXE", "Verdict")
    table = [header] + [(name, tree, appeared, setup,
                         ("as promised" if good else "FELL SHORT") + ": " + reason)
                        for name, tree, appeared, setup, good, reason in rows]
    widths = [max(len(row[i]) for row in table) for i in range(len(header) - 1)]
    lines = ["  ".join(cell.ljust(width) for cell, width in zip(row[:-1], widths)) + "  " + row[-1]
             for row in table]
    short = [row[0] for row in rows if not row[4]]
    lines.append(f"{len(rows)} versions: {len(rows) - len(short)} as promised, "
                 f"{len(short)} fell short" + (f" ({', '.join(short)})" if short else ""))
    return "\n".join(lines) + "\n"
