#!/usr/bin/python3
"""The brand tools as the build runs them: the texts' checks and what they
write, the splash and icon converters on pictures of other sizes and
kinds, their refusals (which name the setting and the rule and write
nothing), the committed art taken byte for byte, the splash drawn for a
product of its own (read back by Tesseract), and what CMake's configure
step makes of a brand."""
import contextlib
import importlib.util
import io
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

from PIL import Image, ImageChops, ImageCms, ImageDraw, ImageFont, ImageOps

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
# Where the launcher puts its buttons, from its own layout.
sys.path.insert(0, PROJECT)
from brand.layout import BUTTON_BAND  # noqa: E402

BRAND = os.path.join(PROJECT, "brand")
ART = os.path.join(BRAND, "art")
KELMORA_ART = os.path.join(BRAND, "kelmora")
PYTHON = "/usr/bin/python3"
KELMORA = ["--product=KELMORA", "--version=2.31.005", "--company=Kelmora Software Ltd.",
           "--copyright=Copyright (C) 2026 Kelmora Software Ltd. All rights reserved."]
GREYS = {(128, 128, 128), (192, 192, 192), (223, 223, 223)}
PANEL = (272, 200, 544, 256)
COMMITTED_SPLASH = os.path.join(KELMORA_ART, "tarnell.bmp")
# The KELMORA design's band, white lettering on blue, above the white page.
BAND_BOTTOM = 148
TESSERACT = "/usr/bin/tesseract"


def run(script, *arguments):
    return subprocess.run([PYTHON, script, *arguments], capture_output=True, text=True)


def committed_splash():
    with open(COMMITTED_SPLASH, "rb") as committed:
        return committed.read()


def tesseract(image):
    """The words Tesseract reads on a picture, on one line."""
    with tempfile.TemporaryDirectory(prefix="ocr-") as work:
        path = os.path.join(work, "page.png")
        image.save(path)
        # One column of text in lines of several sizes.
        result = subprocess.run([TESSERACT, path, "-", "--psm", "4"], capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError(f"tesseract failed: {result.stderr.strip()}")
    return " ".join(result.stdout.split())


def read_splash_words(path):
    """What a person reads on a splash in the KELMORA design: its lettering
    black on white (the band's white letters, the page's dark ones), the
    button panel left blank, twice the size, with a margin."""
    shown = Image.open(path).convert("L")
    page = shown.point(lambda v: 0 if v < 180 else 255)
    band = shown.crop((0, 0, shown.width, BAND_BOTTOM)).point(lambda v: 0 if v >= 200 else 255)
    page.paste(band, (0, 0))
    ImageDraw.Draw(page).rectangle(PANEL, fill=255)
    page = ImageOps.expand(page, 20, fill=255)
    return tesseract(page.resize((page.width * 2, page.height * 2), Image.LANCZOS))


def splash_table(data):
    """The colour table and top-down indices of a splash file, read with
    nothing but struct."""
    offset = struct.unpack_from("<I", data, 10)[0]
    table = data[54:offset]
    palette = [(table[i + 2], table[i + 1], table[i]) for i in range(0, len(table), 4)]
    rows = [data[offset + r * 592:offset + r * 592 + 590] for r in range(369)]
    return palette, rows[::-1]


class BrandTexts(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="brand-")
        self.addCleanup(shutil.rmtree, self.work)

    def brand(self, *changes):
        values = dict(argument.split("=", 1) for argument in KELMORA)
        values.update(change.split("=", 1) for change in changes)
        return run(os.path.join(BRAND, "make_brand.py"), "--output", self.work,
                   *[f"{key}={value}" for key, value in values.items()])

    def test_refusals_name_the_setting_and_the_rule_and_write_nothing(self):
        cases = [
            ("--version=2.31", "TARNELL_VERSION", "three dot-separated decimal numbers"),
            ("--version=2.31.0.5", "TARNELL_VERSION", "three dot-separated decimal numbers"),
            ("--version=2.x.5", "TARNELL_VERSION", "three dot-separated decimal numbers"),
            ("--version=1.65536.0", "TARNELL_VERSION", "at most 65535"),
            ("--product=A\\B", "TARNELL_PRODUCT", "no backslash"),
            ("--product=100%", "TARNELL_PRODUCT", "no percent sign"),
            ("--product=Ωmega", "TARNELL_PRODUCT", "'Ω' is not in it"),
            ("--product=Tab\tName", "TARNELL_PRODUCT", "control character"),
            ("--product= ", "TARNELL_PRODUCT", "the product word is empty"),
            ("--product=" + "W" * 31, "TARNELL_PRODUCT", "with version 2.31.005 the word takes at most 30"),
            ("--company=日本", "TARNELL_COMPANY", "not in it"),
            ("--copyright=Line\nbreak", "TARNELL_COPYRIGHT", "control character"),
            # Another product keeps none of KELMORA's lines.
            ("--product=Heron", "TARNELL_COMPANY", "does not carry KELMORA's company line"),
        ]
        for change, setting, rule in cases:
            with self.subTest(change):
                result = self.brand(change)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(f"{setting}: refused:", result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertEqual(os.listdir(self.work), [])

    def test_texts_in_windows_1252_and_the_version_numbers(self):
        # 30 characters of word and 8 of version fill the title exactly.
        self.assertEqual(self.brand("--product=" + "W" * 30, "--company=W",
                                    "--copyright=").returncode, 0)
        result = self.brand("--product=Héron \"Atlas\"", "--version=65535.0.017",
                            "--company=Héron", "--copyright=© 2026 Héron")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.work, "brand.h"), encoding="ascii") as header:
            text = header.read()
        for line in ['TARNELL_PRODUCT_NAME  "H\\351ron \\042Atlas\\042"',
                     'TARNELL_DESCRIPTION   "H\\351ron \\042Atlas\\042 CD-ROM Autorun Program"',
                     'TARNELL_VERSION_TEXT  "65535.0.017"', "TARNELL_VERSION_MAJOR 65535",
                     "TARNELL_VERSION_MINOR 0", "TARNELL_VERSION_PATCH 17",
                     'TARNELL_COPYRIGHT     "\\251 2026 H\\351ron"']:
            self.assertIn(line, text)

    def test_the_same_texts_leave_the_files_untouched(self):
        # Every configure runs the tool: files it rewrote with the same
        # bytes would rebuild the launcher each time.
        paths = [os.path.join(self.work, "brand.h")]
        self.assertEqual(self.brand().returncode, 0)
        for path in paths:
            os.utime(path, ns=(10 ** 9, 10 ** 9))
        self.assertEqual(self.brand().returncode, 0)
        self.assertEqual([os.stat(path).st_mtime_ns for path in paths], [10 ** 9])
        self.assertEqual(self.brand("--version=2.31.006").returncode, 0)
        self.assertTrue(all(os.stat(path).st_mtime_ns > 10 ** 9 for path in paths))


class Converters(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="art-")
        self.addCleanup(shutil.rmtree, self.work)

    def path(self, name):
        return os.path.join(self.work, name)

    def splash(self, picture, *options):
        return run(os.path.join(ART, "make_splash.py"), *options, "--previews",
                   self.path("previews"), picture, self.path("splash.bmp"))

    def test_refusals_write_nothing(self):
        Image.new("RGB", (49, 300), "white").save(self.path("narrow.png"))
        Image.new("RGB", (31, 31), "white").save(self.path("tiny.png"))
        open(self.path("empty.png"), "wb").close()
        with open(self.path("notes.jpg"), "w") as notes:
            notes.write("not a picture\n")
        Image.new("RGB", (300, 200), "white").save(self.path("whole.png"))
        with open(self.path("whole.png"), "rb") as whole, open(self.path("cut.png"), "wb") as cut:
            cut.write(whole.read()[:300])
        # 96 megapixels in a few kilobytes: refused from its header, unread.
        Image.new("1", (12000, 8000)).save(self.path("huge.png"))
        Image.new("1", (4097, 4096)).save(self.path("huge-icon.png"))
        cases = [
            ("make_splash.py", "nowhere.png", "the picture does not exist"),
            ("make_splash.py", "empty.png", "the picture is an empty file"),
            ("make_splash.py", "notes.jpg", "cannot be read as PNG, JPEG, BMP"),
            ("make_splash.py", "narrow.png", "at least 50 x 50 pixels: "),
            ("make_icon.py", "tiny.png", "at least 32 x 32 pixels: "),
            ("make_splash.py", "cut.png", "or it is truncated or corrupt: "),
            ("make_splash.py", "huge.png", "at most 10000 x 6400 pixels (64 megapixels)"),
            ("make_icon.py", "huge-icon.png", "at most 4096 x 4096 pixels"),
        ]
        for script, picture, rule in cases:
            with self.subTest(picture):
                result = run(os.path.join(ART, script), "--setting=--splash", self.path(picture),
                             self.path("out"))
                self.assertEqual(result.returncode, 1)
                self.assertIn("--splash: refused: ", result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertFalse(os.path.exists(self.path("out")))
        self.assertEqual(self.splash(self.path("narrow.png")).returncode, 1)
        self.assertFalse(os.path.exists(self.path("previews")))

    def test_committed_art_is_taken_byte_for_byte(self):
        for script, name in (("make_splash.py", "tarnell.bmp"), ("make_icon.py", "tarnell.ico")):
            result = run(os.path.join(ART, script), os.path.join(KELMORA_ART, name), self.path(name))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(KELMORA_ART, name), "rb") as a, open(self.path(name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)

    def test_a_wide_picture_is_padded_and_the_greys_kept_for_the_panel(self):
        # 300 x 60, five times as wide as high: a plain cream page with a
        # transparent strip, an exact 3-D grey block and a red bar.
        picture = Image.new("RGBA", (300, 60), (250, 246, 230, 255))
        draw = ImageDraw.Draw(picture)
        draw.rectangle((0, 0, 29, 59), fill=(0, 0, 0, 0))
        draw.rectangle((60, 10, 119, 49), fill=(192, 192, 192, 255))
        draw.rectangle((200, 20, 279, 39), fill=(200, 30, 30, 255))
        picture.save(self.path("wide.png"))
        result = self.splash(self.path("wide.png"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("padded with the page colour (250, 246, 230)", result.stdout)

        with open(self.path("splash.bmp"), "rb") as splash:
            data = splash.read()
        self.assertEqual(len(data) - 14, 219512)
        self.assertEqual(struct.unpack_from("<IiiHHIIii", data, 14),
                         (40, 590, 369, 1, 8, 0, 218448, 2834, 2834))
        palette, rows = splash_table(data)
        first = rows[368][0]
        self.assertEqual(palette[first], (250, 246, 230))
        # The padding and the transparent strip are page; the panel alone
        # is drawn in the greys, each of which is in the table once.
        self.assertEqual(set(rows[0]), {first})
        self.assertEqual(rows[184][2], first)
        for grey in GREYS:
            self.assertEqual(palette.count(grey), 1)
        for y, row in enumerate(rows):
            for x, index in enumerate(row):
                inside = PANEL[0] <= x < PANEL[2] and PANEL[1] <= y < PANEL[3]
                self.assertEqual(palette[index] in GREYS, inside, (x, y))
        # The art's own grey block is nudged just off the face grey.
        block = palette[rows[184][130]]
        self.assertNotIn(block, GREYS)
        self.assertLessEqual(max(abs(c - 192) for c in block), 2)

        after = Image.open(self.path("previews/splash-after-colour-change.png")).convert("RGB")
        self.assertEqual(after.size, (590, 369))
        self.assertEqual(after.getpixel((0, 368)), (48, 48, 56))
        self.assertEqual(after.getpixel((472, 184)), palette[rows[184][472]])
        self.assertEqual(palette[rows[184][472]], (200, 30, 30))

    def test_a_picture_without_backdrop_gives_the_first_entry_to_one_pixel(self):
        gradient = Image.new("RGB", (590, 369))
        gradient.putdata([(x * 255 // 589, y * 255 // 368, 128) for y in range(369) for x in range(590)])
        gradient.save(self.path("gradient.jpg"), quality=90)
        icon = Image.new("RGBA", (64, 48), (0, 0, 0, 0))
        ImageDraw.Draw(icon).ellipse((8, 0, 56, 47), fill=(0, 0, 250, 255))
        icon.save(self.path("icon.png"))

        result = self.splash(self.path("gradient.jpg"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("the bottom-left corner is no plain backdrop", result.stdout)
        with open(self.path("splash.bmp"), "rb") as splash:
            palette, rows = splash_table(splash.read())
        first = rows[368][0]
        self.assertEqual(sum(row.count(first) for row in rows), 1)
        self.assertGreater(len(set(b for row in rows for b in row)), 200)

        result = run(os.path.join(ART, "make_icon.py"), "--preview", self.path("icon-preview.png"),
                     self.path("icon.png"), self.path("icon.ico"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(os.path.getsize(self.path("icon.ico")), 766)
        preview = Image.open(self.path("icon-preview.png"))
        self.assertEqual(preview.getpixel((0, 0))[3], 0)
        self.assertEqual(preview.getpixel((16, 16)), (0, 0, 255, 255))

    def test_pictures_as_a_viewer_shows_them(self):
        # A landscape, red on the left, as a camera held sideways stores
        # it: turned a quarter to the left, with the tag that turns it back.
        landscape = Image.new("RGB", (800, 500), (200, 30, 30))
        ImageDraw.Draw(landscape).rectangle((400, 0, 799, 499), fill=(30, 30, 200))
        exif = Image.Exif()
        exif[0x0112] = 6
        landscape.transpose(Image.ROTATE_90).save(self.path("sideways.jpg"), exif=exif, quality=95)
        Image.new("I;16", (300, 200), 32768).save(self.path("grey16.png"))
        Image.new("LA", (300, 200), (100, 255)).save(self.path("grey-alpha.png"))
        palette = Image.new("P", (300, 200), 0)
        palette.putpalette([255, 255, 255, 0, 128, 0] + [0] * 762)
        ImageDraw.Draw(palette).rectangle((50, 50, 250, 150), fill=1)
        palette.save(self.path("palette.png"), transparency=0)
        Image.new("CMYK", (300, 200), (0, 255, 255, 0)).save(self.path("cmyk.jpg"))
        Image.new("LAB", (300, 200), (128, 128, 128)).save(self.path("lab.tif"))
        srgb = ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes()
        Image.new("RGB", (300, 200), (10, 120, 200)).save(self.path("profiled.png"), icc_profile=srgb)
        Image.new("RGB", (300, 200), (255, 0, 0)).save(
            self.path("animated.gif"), save_all=True,
            append_images=[Image.new("RGB", (300, 200), (0, 255, 0))])
        # Picture, what the converter says, and colours at points of the
        # splash (a 300 x 200 picture fills x 18 to 571).
        cases = [
            ("sideways.jpg", "turned upright by its orientation tag: 800 x 500",
             {(100, 100): (200, 30, 30), (500, 100): (30, 30, 200)}),
            ("grey16.png", "scaled to 554 x 369", {(100, 100): (127, 127, 127)}),
            ("grey-alpha.png", "scaled to 554 x 369", {(100, 100): (100, 100, 100)}),
            ("palette.png", "page colour (255, 255, 255)",
             {(5, 5): (255, 255, 255), (300, 150): (0, 128, 0)}),
            ("cmyk.jpg", "a CMYK picture without a colour profile", {(100, 100): (255, 0, 0)}),
            ("lab.tif", "a Lab picture: converted to sRGB", {(100, 100): (119, 119, 119)}),
            ("profiled.png", 'colour profile "sRGB built-in": converted to sRGB',
             {(100, 100): (10, 120, 200)}),
            ("animated.gif", "warning: the picture has 2 frames: the first is taken",
             {(100, 100): (255, 0, 0)}),
        ]
        for picture, said, points in cases:
            with self.subTest(picture):
                result = self.splash(self.path(picture))
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(said, result.stdout)
                with open(self.path("splash.bmp"), "rb") as splash:
                    palette_, rows = splash_table(splash.read())
                preview = Image.open(self.path("previews/splash.png")).convert("RGB")
                for (x, y), colour in points.items():
                    shown = palette_[rows[y][x]]
                    self.assertTrue(all(abs(a - b) <= 3 for a, b in zip(shown, colour)),
                                    f"({x}, {y}) is {shown}, not {colour}")
                    self.assertEqual(preview.getpixel((x, y)), shown)

    def test_a_fault_while_writing_is_one_line(self):
        Image.new("RGB", (300, 200), "white").save(self.path("white.png"))
        with open(self.path("file"), "w") as blocker:
            blocker.write("a file where the output's folder should be\n")
        result = run(os.path.join(ART, "make_splash.py"), self.path("white.png"),
                     self.path("file/splash.bmp"))
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, r"^TARNELL_SPLASH: failed: .*file\n$")

    def test_dithering_keeps_a_smooth_picture_close_to_its_plain_resize(self):
        # A slightly noisy sky with a bright sun and white lettering: error
        # diffusion once dropped dots of the sun's and the lettering's
        # colours into the smooth sky, up to 186 off per channel.
        random.seed(7)
        width, height = 1024, 640
        sky = Image.new("RGB", (width, height))
        sky.putdata([tuple(max(0, min(255, base + noise)) for base in
                           (40 + 200 * y // height + 15 * x // width,
                            60 + 90 * y // height - 20 * x // width,
                            160 - 120 * y // height + 10 * x // width))
                     for y in range(height) for x in range(width)
                     for noise in (random.randint(-4, 4),)])
        draw = ImageDraw.Draw(sky)
        draw.ellipse((700, 380, 840, 520), fill=(255, 230, 40))
        draw.text((60, 80), "SUNRISE 3", fill=(255, 255, 255),
                  font=ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 72))
        sky.save(self.path("sky.png"))

        result = self.splash(self.path("sky.png"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("dithered", result.stdout)
        with open(self.path("splash.bmp"), "rb") as splash:
            palette, rows = splash_table(splash.read())
        plain = Image.open(self.path("sky.png")).resize((590, 369), Image.LANCZOS).load()
        # The nearest of 252 colours lies within 16 of a smooth picture,
        # and a dithered pixel may stray 16 further. Outside the panel, and
        # but for the first pixel (the page entry), nothing is further off.
        worst = max((max(abs(a - b) for a, b in zip(palette[rows[y][x]], plain[x, y])), x, y)
                    for y in range(369) for x in range(590)
                    if not (PANEL[0] <= x < PANEL[2] and PANEL[1] <= y < PANEL[3])
                    and (x, y) != (0, 368))
        self.assertLessEqual(worst[0], 32, f"pixel {worst[1:]} is {worst[0]} off")


class DrawnSplash(unittest.TestCase):
    """The splash drawn in KELMORA's design for a product of its own."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="drawn-")
        self.addCleanup(shutil.rmtree, self.work)

    def path(self, name):
        return os.path.join(self.work, name)

    def draw(self, *options):
        return run(os.path.join(ART, "make_splash.py"), *options, self.path("splash.bmp"))

    def test_kelmoras_own_words_give_the_committed_splash(self):
        result = self.draw("--draw", "--product=KELMORA", "--version=2.31.005")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.path("splash.bmp"), "rb") as drawn:
            self.assertEqual(drawn.read(), committed_splash())
        # make_art.py, which draws it from brand.txt, writes the committed
        # art too: here into this test's folder.
        spec = importlib.util.spec_from_file_location(
            "make_art", os.path.join(KELMORA_ART, "make_art.py"))
        make_art = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(make_art)
        make_art.BMP_PATH, make_art.ICO_PATH = self.path("tarnell.bmp"), self.path("tarnell.ico")
        with contextlib.redirect_stdout(io.StringIO()):
            make_art.main()
        for name in ("tarnell.bmp", "tarnell.ico"):
            with open(self.path(name), "rb") as made, \
                    open(os.path.join(KELMORA_ART, name), "rb") as committed:
                self.assertEqual(made.read(), committed.read(), name)

    def test_another_products_splash_says_its_own_word_and_version(self):
        # The reader finds KELMORA's words on KELMORA's splash, so their
        # absence below is the reader's finding, not its blindness.
        kelmora = read_splash_words(COMMITTED_SPLASH)
        self.assertIn("KELMORA CD-ROM Autorun Program Version 2.31.005 "
                      "Setup will install KELMORA on this computer.", kelmora)
        buttons = self.path("buttons.txt")
        with open(buttons, "w", encoding="utf-8") as out:
            out.write("de\tInstallieren\tNicht installieren\n")
        previews = self.path("previews")
        # A short word, at KELMORA's size, and one of 24 characters with an
        # accent, which only fits the band smaller; its note takes two lines
        # of its own making.
        for product in ("Heron Atlas", "Héron Atlas Professional"):
            with self.subTest(product):
                result = self.draw("--previews", previews, "--buttons", buttons, "--draw",
                                   f"--product={product}", "--version=1.4.2")
                self.assertEqual(result.returncode, 0, result.stderr)
                words = read_splash_words(self.path("splash.bmp"))
                self.assertIn(f"{product} CD-ROM Autorun Program Version 1.4.2 "
                              f"Setup will install {product} on this computer.", words)
                self.assertNotIn("KELMORA", words.upper())
                self.assertNotIn("2.31.005", words)
                self.assertEqual(sorted(os.listdir(previews)),
                                 ["splash-after-colour-change.png", "splash-de.png", "splash.png"])
                # The page follows a change to a dark scheme, as a
                # converted picture's does.
                after = Image.open(os.path.join(previews, "splash-after-colour-change.png"))
                self.assertEqual(after.convert("RGB").getpixel((0, 368)), (48, 48, 56))

    def test_refusals_are_one_line_and_write_nothing(self):
        Image.new("RGB", (300, 200), "white").save(self.path("picture.png"))
        heron = ["--product=Heron", "--version=1.4.2"]
        cases = [
            (["--draw"], "a drawn splash needs the product word and the version: "
                         "--product and --version not given"),
            (["--draw", "--product=Heron"], "a drawn splash needs the product word and the "
                                            "version: --version not given"),
            (heron, "--product and --version are for a drawn splash: give --draw too"),
            (["--draw", *heron, self.path("picture.png")],
             "a drawn picture is named by its output alone, with no picture"),
            (["--draw", "--product=", "--version=1.4.2"],
             "the product word is not empty and has no spaces at its ends: ''"),
            (["--draw", "--product=Heron ", "--version=1.4.2"],
             "the product word is not empty and has no spaces at its ends: 'Heron '"),
            (["--draw", "--product=Ωmega", "--version=1.4.2"], "'Ω' is not in it"),
            (["--draw", "--product=" + "W" * 60, "--version=1.4.2"],
             "the product word fits the splash's band"),
        ]
        for options, rule in cases:
            with self.subTest(options):
                result = self.draw("--setting=--splash", "--previews", self.path("previews"),
                                   *options)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith("--splash: refused: "), result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertEqual(sorted(os.listdir(self.work)), ["picture.png"])


class LanguageTexts(unittest.TestCase):
    """The languages a launcher carries and their texts, shipped and own."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="languages-")
        self.addCleanup(shutil.rmtree, self.work)
        self.output = os.path.join(self.work, "out")
        os.mkdir(self.output)

    def file(self, name, content):
        path = os.path.join(self.work, name)
        with open(path, "wb") as out:
            out.write(content if isinstance(content, bytes) else content.encode("utf-8"))
        return path

    def brand(self, languages, *files, names="cmake", systems=()):
        return run(os.path.join(BRAND, "make_brand.py"), *KELMORA, "--names", names,
                   "--output", self.output, f"--languages={languages}",
                   *[f"--language-file={item}" for item in files], *systems)

    def written(self, name):
        with open(os.path.join(self.output, name), "rb") as written:
            return written.read()

    def test_refusals_name_the_setting_the_language_and_the_rule_and_write_nothing(self):
        ca = "start-install = Instal·la\ndont-install = No instal·lis\nunsupported-os = No\n" \
             "second-instance = Una\nerror-caption = Error\n"
        cases = [
            # The list.
            ("de,xx", {}, "TARNELL_LANGUAGES", "'xx' is not an ISO 639-1 code"),
            ("de,el", {}, "TARNELL_LANGUAGES", "Greek (el) is written in code page 1253"),
            ("ru", {}, "TARNELL_LANGUAGES", "Russian (ru) is written in code page 1251"),
            ("ja", {}, "TARNELL_LANGUAGES", "Japanese (ja) is written in code page 932"),
            ("en", {}, "TARNELL_LANGUAGES", "English is always carried"),
            ("de,fr,de", {}, "TARNELL_LANGUAGES", "'de' is named twice"),
            ("de,,fr", {}, "TARNELL_LANGUAGES", "the list has an empty entry"),
            ("nb", {}, "TARNELL_LANGUAGES", "'nb' is carried as 'no'"),
            ("ca", {}, "TARNELL_LANGUAGES", "no texts for Catalan ship with the launcher"),
            # Which files.
            ("de", {"fr": "title = x"}, "TARNELL_LANGUAGE_FILES", "'fr' is not among the languages"),
            ("de", {"de": None}, "TARNELL_LANGUAGE_FILES", "the language file cannot be read"),
            # Malformed files.
            ("de", {"de": "start-install Los"}, "TARNELL_LANGUAGE_FILES", "line 1: a line is KEY = TEXT"),
            ("de", {"de": "# mine\nstart = Los"}, "TARNELL_LANGUAGE_FILES", "line 2: the keys are"),
            ("de", {"de": "title = a\ntitle = b"}, "TARNELL_LANGUAGE_FILES", "the key is given twice"),
            ("de", {"de": "dont-install ="}, "TARNELL_LANGUAGE_FILES", "the text is empty"),
            ("de", {"de": b"start-install = Los \xfc"}, "TARNELL_LANGUAGE_FILES", "is not UTF-8 text"),
            ("ca", {"ca": "start-install = Instal·la"}, "TARNELL_LANGUAGE_FILES",
             "the file for Catalan (ca) lacks dont-install, unsupported-os"),
            # Texts the launcher cannot show.
            ("de", {"de": "dont-install = Jetzt nicht installieren"},
             "TARNELL_LANGUAGE_FILES de dont-install", "the text is 100 pixels wide in 8-point MS "
             "Sans Serif; the button holds 92: 'Jetzt nicht installieren'"),
            ("de", {"de": "start-install = &Installieren"}, "TARNELL_LANGUAGE_FILES de start-install",
             "holds no &"),
            ("de", {"de": "unsupported-os = Betriebssystem Ω"},
             "TARNELL_LANGUAGE_FILES de unsupported-os", "'Ω' is not in it"),
            ("de", {"de": "error-caption = " + "F" * 47}, "TARNELL_LANGUAGE_FILES de error-caption",
             "at most 46 characters"),
            ("de", {"de": "second-instance = " + "x" * 128}, "TARNELL_LANGUAGE_FILES de second-instance",
             "at most 127 characters"),
            ("de", {"de": "title = {product} ({file})"}, "TARNELL_LANGUAGE_FILES de title",
             "holds {product}, {file}, {version} once each"),
            ("de", {"de": "title = {product} (v{version} {file})"}, "TARNELL_LANGUAGE_FILES de title",
             "names {file} before {version}"),
            ("de", {"de": "title = {product} 100% ({file} v{version})"},
             "TARNELL_LANGUAGE_FILES de title", "holds no % and no braces"),
            ("de", {"de": "title = {product} " + "W" * 46 + " ({file} v{version})"},
             "TARNELL_LANGUAGE_FILES de title", "takes 80 characters, of the 79"),
            ("ca", {"ca": ca.replace("Error", "Errör ✗")}, "TARNELL_LANGUAGE_FILES ca error-caption",
             "'✗' is not in it"),
        ]
        for languages, files, setting, rule in cases:
            with self.subTest(languages=languages, files=files):
                items = [f"{code}={os.path.join(self.work, 'missing.txt') if content is None else self.file(code + '.txt', content)}"
                         for code, content in files.items()]
                result = self.brand(languages, *items)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(f"{setting}: refused: ", result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertEqual(os.listdir(self.output), [])
        result = self.brand("de,el", names="options")
        self.assertIn("--languages: refused: Greek (el)", result.stderr)

    def test_string_tables_in_each_language_and_own_texts_over_the_shipped_ones(self):
        own = self.file("fr.txt", "# Mine\n\ntitle = Exécution automatique du CD-ROM {product} "
                                  "({file} v{version})\ndont-install = \"Non\"\n")
        ca = self.file("ca.txt", "\ufeffstart-install = Instal·la\ndont-install = No instal·lis\n"
                                 "unsupported-os = Sistema operatiu no compatible\n"
                                 "second-instance = Només es permet una instància del programa!\n"
                                 "error-caption = Informació de l'error\n")
        result = self.brand(" DE, fr;ca ", f"fr={own}", f"ca={ca}")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"#define TARNELL_LANGUAGE_TABLE { { 0x07, 0x0407 }, { 0x0C, 0x040C }, "
                      b"{ 0x03, 0x0403 } }", self.written("languages.h"))
        rc = self.written("languages.rc").decode("ascii")
        for line in ['LANGUAGE 0x07, 0x01', 'IDS_UNSUPPORTED_OS, L"Nicht unterst\\x00FCtztes Betriebssystem"',
                     'IDS_ERROR_CAPTION, L" Fehlerinformationen"',
                     'IDS_TITLE_FORMAT, L" KELMORA CD-ROM Autorun Program (%s v%s)"',
                     'LANGUAGE 0x0C, 0x01', 'IDS_START_INSTALL, L"Installer"',
                     'IDS_DONT_INSTALL, L"""Non"""',
                     'IDS_TITLE_FORMAT, L" Ex\\x00E9cution automatique du CD-ROM KELMORA (%s v%s)"',
                     'LANGUAGE 0x03, 0x01', 'IDS_START_INSTALL, L"Instal\\x00B7la"']:
            self.assertIn(line, rc)
        self.assertEqual(self.written("buttons.txt").decode("utf-8"),
                         "de\tInstallieren\tNicht installieren\nfr\tInstaller\t\"Non\"\n"
                         "ca\tInstal·la\tNo instal·lis\n")

        # Without languages the translations' files go.
        result = self.brand("")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(self.output)), ["brand.h"])

    def test_every_shipped_language_and_its_suggested_title_is_accepted(self):
        shipped = sorted(name[:-4] for name in os.listdir(os.path.join(BRAND, "languages")))
        self.assertEqual(shipped, ["da", "de", "es", "fi", "fr", "it", "nl", "no", "pt", "sv"])
        titles = []
        for code in shipped:
            with open(os.path.join(BRAND, "languages", code + ".txt"), encoding="utf-8") as text:
                title = [line.split("=", 1)[1].strip() for line in text
                         if re.match(r"# title\s*=", line)]
            self.assertEqual(len(title), 1, code)
            titles.append(f"{code}={self.file(code + '.txt', 'title = ' + title[0])}")
        # Each gives the text a later system shows too.
        result = self.brand(",".join(shipped), *titles, systems=["--systems=xp,10"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(self.written("buttons.txt").splitlines()), len(shipped))

    def test_the_previews_show_the_buttons_of_each_language(self):
        buttons = self.file("buttons.txt", "de\tInstallieren\tNicht installieren\n")
        previews = os.path.join(self.work, "previews")
        result = run(os.path.join(ART, "make_splash.py"), "--previews", previews, "--buttons", buttons,
                     os.path.join(KELMORA_ART, "tarnell.bmp"), os.path.join(self.work, "splash.bmp"))
        self.assertEqual(result.returncode, 0, result.stderr)
        english = Image.open(os.path.join(previews, "splash.png")).convert("RGB")
        german = Image.open(os.path.join(previews, "splash-de.png")).convert("RGB")
        differ = ImageChops.difference(english, german).getbbox()
        self.assertIsNotNone(differ)
        # Only the buttons differ.
        left, top, right, bottom = BUTTON_BAND
        self.assertGreaterEqual(differ[0], left)
        self.assertGreaterEqual(differ[1], top)
        self.assertLessEqual(differ[2], right)
        self.assertLessEqual(differ[3], bottom)


class SystemsSetting(unittest.TestCase):
    """The systems a launcher accepts: the list's checks and accepted.h."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="systems-")
        self.addCleanup(shutil.rmtree, self.work)

    def brand(self, *options, names="cmake"):
        return run(os.path.join(BRAND, "make_brand.py"), *KELMORA, "--names", names,
                   "--output", self.work, *options)

    def test_refusals_name_the_setting_the_rule_and_the_value_and_write_nothing(self):
        cases = [
            ("", "the list names no system: ''"),
            (" ", "the list names no system: ' '"),
            ("98,,xp", "the list has an empty entry: '98,,xp'"),
            ("98,", "the list has an empty entry: '98,'"),
            ("98,nt3", "'nt3' is not a system the launcher knows; the systems are 95, 98, me, "
             "nt3.51, nt4, 2000, xp, win32s, xp64, 2003, vista, 2008, 7, 2008r2, 8, 8.1, 10, 11: "
             "'98,nt3'"),
            ("server2012", "'server2012' is not a system the launcher knows"),
            ("xp,7,XP", "'xp' is named twice: 'xp,7,XP'"),
        ]
        for value, rule in cases:
            for names, setting in (("cmake", "TARNELL_SYSTEMS"), ("options", "--systems")):
                with self.subTest(value=value, names=names):
                    result = self.brand(f"--systems={value}", names=names)
                    self.assertEqual(result.returncode, 1, result.stderr)
                    self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                    self.assertTrue(result.stderr.startswith(f"{setting}: refused: {rule}"),
                                    result.stderr)
                    self.assertEqual(os.listdir(self.work), [])

    def test_the_list_its_bits_and_whether_it_names_a_later_system(self):
        # Bits of launcher/systems.h: 98 2, xp 64, nt4 16, 2000 32, 7 4096,
        # 10 65536; the text in the header's order.
        for value, mask, text, later in (("10; 7 ,XP,98", 69698, "98,xp,7,10", True),
                                         ("98,me,nt4,2000,xp", 118, "98,me,nt4,2000,xp", False)):
            with self.subTest(value):
                self.assertEqual(self.brand(f"--systems={value}").returncode, 0)
                with open(os.path.join(self.work, "accepted.h"), encoding="ascii") as header:
                    lines = header.read().splitlines()
                self.assertIn(f"#define TARNELL_SYSTEMS_MASK {mask}", lines)
                self.assertIn(f'#define TARNELL_SYSTEMS_TEXT "{text}"', lines)
                self.assertEqual("#define TARNELL_SYSTEMS_LATER" in lines, later)
        # Without the setting the file goes.
        self.assertEqual(self.brand().returncode, 0)
        self.assertEqual(sorted(os.listdir(self.work)), ["brand.h"])

    def test_a_language_file_gives_the_installers_failure_where_a_later_system_shows_it(self):
        own = os.path.join(self.work, "ca.txt")
        with open(own, "w", encoding="utf-8") as out:
            out.write("start-install = Instal·la\ndont-install = No instal·lis\nunsupported-os = No\n"
                      "second-instance = Una\nerror-caption = Error\n")
        options = ["--languages=de,ca", f"--language-file=ca={own}"]
        self.assertEqual(self.brand("--systems=98,xp", *options).returncode, 0)
        with open(os.path.join(self.work, "languages.rc"), encoding="ascii") as rc:
            text = rc.read()
        self.assertIn('IDS_INSTALLER_FAILED, L"The installer could not be started:"', text)
        self.assertIn('IDS_INSTALLER_FAILED, L"Das Installationsprogramm konnte nicht gestartet '
                      'werden:"', text)
        result = self.brand("--systems=98,xp,10", *options)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"TARNELL_LANGUAGE_FILES: refused: the file for Catalan (ca) "
                                        f"lacks installer-failed, which a launcher for systems after "
                                        f"XP shows: {own!r}\n")


class Configure(unittest.TestCase):
    def test_a_refused_text_stops_the_configure_step(self):
        cases = [("-DTARNELL_VERSION=2.31",
                  "TARNELL_VERSION: refused: the version is three dot-separated decimal numbers"),
                 ("-DTARNELL_LANGUAGES=de;el",
                  "TARNELL_LANGUAGES: refused: Greek (el) is written in code page 1253"),
                 ("-DTARNELL_SYSTEMS=98,xp,98", "TARNELL_SYSTEMS: refused: '98' is named twice")]
        for setting, refusal in cases:
            with self.subTest(setting):
                work = tempfile.mkdtemp(prefix="brand-configure-")
                self.addCleanup(shutil.rmtree, work)
                result = subprocess.run(
                    ["cmake", "-S", PROJECT, "-B", work, "--toolchain",
                     os.path.join(PROJECT, "cmake", "mingw-i686.cmake"), "-DTARNELL_BUILD_TESTS=OFF",
                     setting], capture_output=True, text=True)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(refusal, " ".join(result.stderr.split()))
                self.assertFalse(os.path.exists(os.path.join(work, "Makefile")))
                self.assertFalse(os.path.exists(os.path.join(work, "brand", "tarnell", "brand.h")))

    def test_norwegian_alone_is_carried(self):
        # The list "no" is false to a bare if() of CMake.
        work = tempfile.mkdtemp(prefix="brand-configure-")
        self.addCleanup(shutil.rmtree, work)
        result = subprocess.run(
            ["cmake", "-S", PROJECT, "-B", work, "--toolchain",
             os.path.join(PROJECT, "cmake", "mingw-i686.cmake"), "-DTARNELL_BUILD_TESTS=OFF",
             "-DTARNELL_LANGUAGES=no"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        for target, made in (("tarnell", "launcher/texts.cpp"),
                             ("tarnell_art", "previews/splash-no.png")):
            with open(os.path.join(work, "launcher", "CMakeFiles", target + ".dir",
                                   "build.make")) as rules:
                self.assertTrue(made in rules.read(), f"{target} does not make {made}")



class ConfiguredSplash(unittest.TestCase):
    """The splash a build of the launcher takes: the committed one for
    KELMORA, the drawn one for a product of another word or version, made
    again when the word or version changes."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="splash-build-")
        self.addCleanup(shutil.rmtree, self.work)
        self.build = os.path.join(self.work, "build")

    def configure(self, *settings):
        result = subprocess.run(
            ["cmake", "-S", PROJECT, "-B", self.build, "--toolchain",
             os.path.join(PROJECT, "cmake", "mingw-i686.cmake"), "-DTARNELL_BUILD_TESTS=OFF",
             "-DTARNELL_BUILD_TOOLS=OFF", *settings], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)

    def built_splash(self):
        result = subprocess.run(["cmake", "--build", self.build, "--target", "tarnell_art"],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        with open(os.path.join(self.build, "brand", "tarnell", "splash.bmp"), "rb") as splash:
            return splash.read()

    def drawn(self, product, version):
        path = os.path.join(self.work, "drawn.bmp")
        result = run(os.path.join(ART, "make_splash.py"), "--draw", f"--product={product}",
                     f"--version={version}", path)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(path, "rb") as drawn:
            return drawn.read()

    def test_the_default_build_takes_the_committed_splash_and_another_version_its_own(self):
        self.configure()
        self.assertEqual(self.built_splash(), committed_splash())
        # KELMORA of another version: the committed splash would say 2.31.005.
        self.configure("-DTARNELL_VERSION=2.32.0")
        self.assertEqual(self.built_splash(), self.drawn("KELMORA", "2.32.0"))

    def test_another_product_has_its_own_splash_made_again_when_its_texts_change(self):
        product = ["-DTARNELL_PRODUCT=Héron Atlas Professional", "-DTARNELL_VERSION=1.4.2",
                   "-DTARNELL_COMPANY=Héron Cartography Ltd.", "-DTARNELL_COPYRIGHT="]
        self.configure(*product)
        self.assertEqual(self.built_splash(), self.drawn("Héron Atlas Professional", "1.4.2"))
        # No file it depends on changes, only the command that draws it;
        # a semicolon in the word is no list separator to CMake there.
        self.configure("-DTARNELL_VERSION=1.4.3")
        self.assertEqual(self.built_splash(), self.drawn("Héron Atlas Professional", "1.4.3"))
        self.configure("-DTARNELL_PRODUCT=Héron; Atlas")
        self.assertEqual(self.built_splash(), self.drawn("Héron; Atlas", "1.4.3"))
        # A picture given is converted, as before.
        self.configure(f"-DTARNELL_SPLASH={COMMITTED_SPLASH}")
        self.assertEqual(self.built_splash(), committed_splash())

    def test_a_cache_from_before_the_products_own_splash_draws_it_too(self):
        # That cache holds KELMORA's picture as its default, under the
        # description it had then.
        cache = os.path.join(self.work, "before.cmake")
        with open(cache, "w", encoding="utf-8") as out:
            out.write(f'set(TARNELL_SPLASH "{COMMITTED_SPLASH}" CACHE FILEPATH "Splash picture '
                      f'(PNG, JPEG, BMP, ...), fitted to 590 x 369 in 256 colours")\n')
        self.configure("-C", cache, "-DTARNELL_PRODUCT=Heron Atlas", "-DTARNELL_VERSION=1.4.2",
                       "-DTARNELL_COMPANY=Heron Ltd.", "-DTARNELL_COPYRIGHT=")
        self.assertEqual(self.built_splash(), self.drawn("Heron Atlas", "1.4.2"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
