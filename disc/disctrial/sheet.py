"""The trial's pictures, its sheet and its report: each version's picture
as VERSION.png, all eleven side by side in sheet.png, labelled with the
version and the verdict, and the table of report.txt."""
import io
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
    """The picture of what the version showed (the driver's BMP bytes), or
    a plain panel that says what happened instead."""
    if shot:
        try:
            with Image.open(io.BytesIO(shot)) as image:
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


def make_sheet(rows, pictures, path):
    """rows: the report's rows (ReportRow), pictures: each one's picture."""
    count = len(rows)
    columns = min(COLUMNS, count)
    lines = (count + columns - 1) // columns
    width = columns * (TILE[0] + GAP) + GAP
    height = lines * (TILE[1] + LABEL_HEIGHT + GAP) + GAP
    sheet = Image.new("RGB", (width, height), BACKGROUND)
    draw = ImageDraw.Draw(sheet)
    bold, small = ImageFont.truetype(BOLD, 14), ImageFont.truetype(FONT, 11)
    for index, (row, image) in enumerate(zip(rows, pictures)):
        left = GAP + (index % columns) * (TILE[0] + GAP)
        top = GAP + (index // columns) * (TILE[1] + LABEL_HEIGHT + GAP)
        thumb = image.copy()
        thumb.thumbnail(TILE, Image.LANCZOS)
        sheet.paste(thumb, (left + (TILE[0] - thumb.width) // 2, top + (TILE[1] - thumb.height) // 2))
        colour = PASS_COLOUR if row.as_promised else FAIL_COLOUR
        draw.rectangle((left, top + TILE[1], left + TILE[0] - 1, top + TILE[1] + 3), fill=colour)
        draw.text((left, top + TILE[1] + 6), f"{row.shown_name}: {verdict_word(row)}",
                  fill=colour, font=bold)
        draw.text((left, top + TILE[1] + 24), shorten(draw, row.reason, small, TILE[0]),
                  fill=(220, 220, 220), font=small)
    sheet.save(path)


def shorten(draw, text, font, width):
    if draw.textlength(text, font=font) <= width:
        return text
    while text and draw.textlength(text + "...", font=font) > width:
        text = text[:-1]
    return text + "..."


def verdict_word(row):
    return "as promised" if row.as_promised else "FELL SHORT"


def report(rows):
    """The report's text of its rows (ReportRow)."""
    header = ("Version", "Tree", "What appeared", "SETUP.EXE", "Verdict")
    table = [header] + [(row.shown_name, row.tree, row.appeared, row.setup,
                         f"{verdict_word(row)}: {row.reason}") for row in rows]
    widths = [max(len(cells[i]) for cells in table) for i in range(len(header) - 1)]
    lines = ["  ".join(cell.ljust(width) for cell, width in zip(cells[:-1], widths))
             + "  " + cells[-1] for cells in table]
    short = [row.shown_name for row in rows if not row.as_promised]
    lines.append(f"{len(rows)} versions: {len(rows) - len(short)} as promised, "
                 f"{len(short)} fell short" + (f" ({', '.join(short)})" if short else ""))
    return "\n".join(lines) + "\n"
