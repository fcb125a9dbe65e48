"""The trial's pictures, its sheet and its report: each version's picture
as VERSION.png, all of them side by side in sheet.png, labelled with the
version and the verdict, and the table of report.txt."""
import io

from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
TILE = (320, 240)
# The session's screen (wine/session.sh): no picture of it is larger.
SCREEN = (1024, 768)
LABEL_HEIGHT = 40
REASON_LINE = 14
HEADING_LINE = 20
COLUMNS = 4
GAP = 8
BACKGROUND = (40, 44, 52)
NOTHING_SHOWN = (96, 96, 96)
PASS_COLOUR = (80, 200, 120)
FAIL_COLOUR = (240, 90, 80)


def picture(shot, facts):
    """The picture of what the version showed (the driver's BMP bytes), or
    a plain panel that says what happened instead. Only a BMP of at most
    the session's screen is decoded."""
    if shot and shot[:2] == b"BM" and len(shot) >= 26:
        width = int.from_bytes(shot[18:22], "little", signed=True)
        height = abs(int.from_bytes(shot[22:26], "little", signed=True))
        if 0 < width <= SCREEN[0] and 0 < height <= SCREEN[1]:
            try:
                with Image.open(io.BytesIO(shot), formats=["BMP"]) as image:
                    return image.convert("RGB")
            except (OSError, ValueError, Image.DecompressionBombError):
                pass
    image = Image.new("RGB", TILE, NOTHING_SHOWN)
    draw = ImageDraw.Draw(image)
    text = {"nothing": "nothing shown", "crash": "crashed",
            "stopped": "stopped"}.get(facts.get("appeared"),
                                                                 "no answer")
    draw.text((TILE[0] // 2, TILE[1] // 2), text, fill=(255, 255, 255),
              font=ImageFont.truetype(BOLD, 20), anchor="mm")
    return image


def make_sheet(rows, pictures, path):
    """rows: the report's rows (ReportRow), pictures: each one's picture.
    Each label carries the whole reason, wrapped to the tile's width."""
    count = len(rows)
    columns = min(COLUMNS, count)
    lines = (count + columns - 1) // columns
    bold, small = ImageFont.truetype(BOLD, 14), ImageFont.truetype(FONT, 11)
    measure = ImageDraw.Draw(Image.new("RGB", (1, 1)))
    reasons = [wrap(measure, row.reason, small, TILE[0]) for row in rows]
    label = LABEL_HEIGHT + REASON_LINE * (max(len(r) for r in reasons) - 1)
    width = columns * (TILE[0] + GAP) + GAP
    heading = wrap(measure, signature_heading(rows), bold, width - 2 * GAP)
    head = HEADING_LINE * len(heading) + GAP
    height = head + lines * (TILE[1] + label + GAP) + GAP
    sheet = Image.new("RGB", (width, height), BACKGROUND)
    draw = ImageDraw.Draw(sheet)
    for number, line in enumerate(heading):
        draw.text((GAP, GAP + number * HEADING_LINE), line, fill=(220, 220, 220), font=bold)
    for index, (row, image, reason) in enumerate(zip(rows, pictures, reasons)):
        left = GAP + (index % columns) * (TILE[0] + GAP)
        top = head + GAP + (index // columns) * (TILE[1] + label + GAP)
        thumb = image.copy()
        thumb.thumbnail(TILE, Image.LANCZOS)
        sheet.paste(thumb, (left + (TILE[0] - thumb.width) // 2, top + (TILE[1] - thumb.height) // 2))
        colour = PASS_COLOUR if row.as_promised else FAIL_COLOUR
        draw.rectangle((left, top + TILE[1], left + TILE[0] - 1, top + TILE[1] + 3), fill=colour)
        draw.text((left, top + TILE[1] + 6), f"{row.shown_name}: {verdict_word(row)}",
                  fill=colour, font=bold)
        for number, line in enumerate(reason):
            draw.text((left, top + TILE[1] + 24 + number * REASON_LINE), line,
                      fill=(220, 220, 220), font=small)
    sheet.save(path)


def signature_heading(rows):
    """Who signed the disc's program, as the sheet's heading: the one
    signature, or each tree's where they differ."""
    by_tree = {}
    for row in rows:
        by_tree.setdefault(row.tree, row.signature)
    named = set(by_tree.values())
    if len(named) == 1:
        return f"The disc's program: {named.pop()}"
    return "The disc's program: " + "; ".join(f"{signature} ({tree})"
                                               for tree, signature in by_tree.items())


def wrap(draw, text, font, width):
    """The text in lines no wider than width, broken between words (a word
    wider than the line, between characters)."""
    lines, line = [], ""
    for word in text.split(" "):
        candidate = f"{line} {word}" if line else word
        if draw.textlength(candidate, font=font) <= width:
            line = candidate
            continue
        if line:
            lines.append(line)
        line = word
        while draw.textlength(line, font=font) > width:
            cut = len(line)
            while cut > 1 and draw.textlength(line[:cut], font=font) > width:
                cut -= 1
            lines.append(line[:cut])
            line = line[cut:]
    lines.append(line)
    return lines


def verdict_word(row):
    return "as promised" if row.as_promised else "FELL SHORT"


def report(rows):
    """The report's text of its rows (ReportRow)."""
    header = ("Version", "Language", "Tree", "What appeared", "SETUP.EXE", "Signature",
              "Verdict")
    table = [header] + [(row.shown_name, row.language, row.tree, row.appeared, row.setup,
                         row.signature, f"{verdict_word(row)}: {row.reason}") for row in rows]
    widths = [max(len(cells[i]) for cells in table) for i in range(len(header) - 1)]
    lines = ["  ".join(cell.ljust(width) for cell, width in zip(cells[:-1], widths))
             + "  " + cells[-1] for cells in table]
    short = [row.shown_name for row in rows if not row.as_promised]
    lines.append(f"{len(rows)} versions: {len(rows) - len(short)} as promised, "
                 f"{len(short)} fell short" + (f" ({', '.join(short)})" if short else ""))
    return "\n".join(lines) + "\n"
