#!/usr/bin/python3
"""Makes the image of an install disc: ISO 9660 with Joliet, holding
AUTORUN.INF, TARNELL.EXE and the whole content of the installer folder,
whose Setup.exe becomes SETUP.EXE.

The input is checked first; a refusal names the rule and the offending file
or value, and nothing is written. The image is written by xorriso to a
temporary file beside the output, read back and compared file by file with
its sources (ISO 9660 name, Joliet name, bytes), and only then renamed to
the output. The same inputs give the same bytes: every date is one fixed
time (SOURCE_DATE_EPOCH, or else the time of the project's last commit).

The launcher is built first, in build/disc, with the brand given by the
options (--product, --version, --company, --copyright, --splash, --icon,
--languages, --language-file; the KELMORA brand where they are left out);
--previews DIR also writes the splash and icon previews there, and the
splash with the buttons of each language. A refused brand stops the
build, and then no image is made.

Run through scripts/make-disc.sh, which sets up the machine first.
"""
import argparse
import concurrent.futures
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unicodedata
import zlib

import pycdlib

PROJECT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(PROJECT, "build", "disc")
BRAND_OPTIONS = ("product", "version", "company", "copyright", "splash", "icon")
PREVIEWS = ("splash.png", "splash-after-colour-change.png", "icon.png")

SECTOR = 2048
CHUNK = 4 << 20
# ISO 9660 below level 3 holds a file in one extent of less than 4 GiB.
FILE_SIZE_LIMIT = 4 << 30
LABEL_LIMIT = 32
# Windows shows the Joliet volume label, which holds 16 characters.
JOLIET_LABEL_LIMIT = 16
JOLIET_NAME_LIMIT = 64
JOLIET_FORBIDDEN = "*/:;?\\"
# The names the launcher's files take at the root, and the installer's.
AUTORUN_NAME = "AUTORUN.INF"
LAUNCHER_NAME = "TARNELL.EXE"
SETUP_NAME = "SETUP.EXE"
# Windows NT 3.51 reads only ISO 9660 names: these three must be the same
# in both trees.
PLAIN_NAMES = ("/" + AUTORUN_NAME, "/" + LAUNCHER_NAME, "/" + SETUP_NAME)
# ISO 9660 d-characters: what a volume label may hold.
LABEL_PATTERN = re.compile(r"^[A-Z0-9_]+$")
# Word separators in a label become underscores.
LABEL_SEPARATORS = " -."
DOS_NAME = re.compile(r"^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?$")
DOS_FOLDER = re.compile(r"^[A-Z0-9_]{1,8}$")


class Refusal(Exception):
    """An input the image cannot be made from: the rule and the value."""

    def __init__(self, rule, value):
        super().__init__(f"{rule}: {value}")


def without_accents(text):
    return "".join(c for c in unicodedata.normalize("NFKD", text) if not unicodedata.combining(c))


def map_label(text, loose=False):
    """Upper-cases a label and turns spaces, hyphens and dots into
    underscores; refuses what is left outside A-Z, 0-9 and _. A loose label
    (one taken from the product's name) loses its accents instead, and
    other characters become underscores."""
    label = text.upper()
    if loose:
        label = without_accents(label)
        label = "".join(c if LABEL_PATTERN.match(c) or c in LABEL_SEPARATORS else "_"
                        for c in label)[:LABEL_LIMIT]
    for separator in LABEL_SEPARATORS:
        label = label.replace(separator, "_")
    if not label:
        raise Refusal("the volume label is empty", repr(text))
    if len(label) > LABEL_LIMIT:
        raise Refusal(f"a volume label holds at most {LABEL_LIMIT} characters",
                      f"{text!r} has {len(label)}")
    if not LABEL_PATTERN.match(label):
        bad = next(c for c in label if not LABEL_PATTERN.match(c))
        raise Refusal("a volume label holds only letters, digits, spaces, hyphens, "
                      f"dots and underscores; {bad!r} has no ISO 9660 form", repr(text))
    return label


def autorun_label(path):
    """The label= line of AUTORUN.INF."""
    with open(path, encoding="latin-1") as autorun:
        for line in autorun:
            key, _, value = line.strip().partition("=")
            if key.strip().lower() == "label":
                return value.strip()
    raise Refusal("AUTORUN.INF names no label", path)


def image_epoch():
    """SOURCE_DATE_EPOCH when set, else the time of the project's last
    commit: the same on every machine for the same checkout."""
    text = os.environ.get("SOURCE_DATE_EPOCH")
    if text is not None:
        if not text.isdigit():
            raise Refusal("SOURCE_DATE_EPOCH must be a whole number of seconds", repr(text))
        return int(text)
    try:
        out = subprocess.run(["git", "-C", PROJECT, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        raise Refusal("no date for the image: set SOURCE_DATE_EPOCH outside a git checkout",
                      PROJECT) from None


class DiscFile:
    """A file of the disc: where it goes and where its bytes come from."""

    def __init__(self, disc_path, source):
        self.disc_path = disc_path      # as the Joliet tree holds it, from /
        self.source = source
        self.size = os.stat(source).st_size
        self.iso_path = None            # filled in from the image
        self.crc = None


def inside(real_folder, real_path):
    """Whether a resolved path lies in a resolved folder (or is it)."""
    return os.path.commonpath([real_folder, real_path]) == real_folder


def check_name(name, relative):
    if len(name) > JOLIET_NAME_LIMIT:
        raise Refusal(f"a Joliet name holds at most {JOLIET_NAME_LIMIT} characters", relative)
    bad = [c for c in name if c in JOLIET_FORBIDDEN or ord(c) < 32]
    if bad:
        raise Refusal(f"Joliet names may not hold {bad[0]!r}", relative)


def scan_installer(folder):
    """Every file and folder of the installer, in a sorted order, with the
    checks that concern them. Links to files inside the folder are stored
    as copies of their targets; other links are refused."""
    if not os.path.isdir(folder):
        raise Refusal("the installer folder does not exist", folder)
    real_root = os.path.realpath(folder)
    entries = sorted(os.listdir(folder))
    if not entries:
        raise Refusal("the installer folder is empty", folder)

    setup = [e for e in entries if e.upper() == SETUP_NAME]
    if not setup or not os.path.isfile(os.path.join(folder, setup[0])):
        raise Refusal("the installer folder has no Setup.exe at its root", folder)
    for entry in entries:
        if entry.upper() in (AUTORUN_NAME, LAUNCHER_NAME):
            raise Refusal(f"the disc's own {entry.upper()} would be replaced by the installer's",
                          os.path.join(folder, entry))

    files, folders = [], []
    for here, dirs, names in os.walk(folder):
        dirs.sort()
        names.sort()
        seen = {}
        for name in dirs + names:
            path = os.path.join(here, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            check_name(name, relative)
            if name.upper() in seen:
                raise Refusal("two names in one folder differ only in case, which Windows "
                              "cannot hold", f"{seen[name.upper()]} and {relative}")
            seen[name.upper()] = relative
            if name in dirs:
                if os.path.islink(path):
                    raise Refusal("a link to a folder cannot go on the disc (put the folder "
                                  "itself there)", relative)
                folders.append("/" + relative)
                continue
            if os.path.islink(path):
                if not inside(real_root, os.path.realpath(path)):
                    raise Refusal("a link points outside the installer folder",
                                  f"{relative} -> {os.readlink(path)}")
                if not os.path.isfile(path):
                    raise Refusal("a link points to no file", f"{relative} -> {os.readlink(path)}")
            elif not stat.S_ISREG(os.lstat(path).st_mode):
                raise Refusal("only files and folders can go on the disc", relative)
            disc_path = "/" + (SETUP_NAME if here == folder and name == setup[0] else relative)
            disc_file = DiscFile(disc_path, path)
            if disc_file.size >= FILE_SIZE_LIMIT:
                raise Refusal("ISO 9660 holds files of less than 4 GiB",
                              f"{relative} ({disc_file.size} bytes)")
            files.append(disc_file)
    return files, folders


def escape_graft(path):
    return path.replace("\\", "\\\\").replace("=", "\\=")


def write_image(image, label, epoch, launcher, autorun, installer, setup_source):
    """Runs xorriso; every date is the epoch, in UTC."""
    grafts = [f"/{AUTORUN_NAME}={escape_graft(autorun)}",
              f"/{LAUNCHER_NAME}={escape_graft(launcher)}",
              f"/{SETUP_NAME}={escape_graft(setup_source)}"]
    for entry in sorted(os.listdir(installer)):
        path = os.path.join(installer, entry)
        if path != setup_source:
            grafts.append(f"/{escape_graft(entry)}={escape_graft(path)}")
    date = time.strftime("%Y%m%d%H%M%S00", time.gmtime(epoch))
    with tempfile.NamedTemporaryFile("w", suffix=".grafts", delete=False) as listing:
        listing.write("\n".join(grafts) + "\n")
    environment = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch), TZ="UTC")
    # No periodic sync of the output: it is read back at once in any case.
    command = ["xorriso", "-stdio_sync", "off", "-as", "mkisofs", "-quiet",
               "-iso-level", "1", "-J", "-r", "-f", "-V", label, "--set_all_file_dates", date, "-graft-points",
               "-path-list", listing.name, "-o", image]
    try:
        result = subprocess.run(command, env=environment, capture_output=True, text=True)
    finally:
        os.unlink(listing.name)
    if result.returncode != 0:
        raise Refusal("xorriso could not write the image", result.stderr.strip() or result.returncode)


def read_image_tree(iso, **tree):
    """Files and folders of one tree: {path: record}, {folders}."""
    files, folders = {}, set()
    (kind, root), = tree.items()
    for here, dirs, names in iso.walk(**{kind: root}):
        base = here.rstrip("/")
        for name in dirs:
            folders.add(f"{base}/{name}")
        for name in names:
            files[f"{base}/{name}"] = iso.get_record(**{kind: f"{base}/{name}"})
    return files, folders


def verify_image(image, label, files, folders):
    """Reads the image back and compares it with the sources: each file
    under its Rock Ridge and Joliet name, in one extent that holds the
    source's bytes; no file or folder more or less; the label."""
    iso = pycdlib.PyCdlib()
    iso.open(image)
    try:
        by_name, name_folders = read_image_tree(iso, rr_path="/")
        by_joliet, joliet_folders = read_image_tree(iso, joliet_path="/")
        problems = []
        expected = {f.disc_path for f in files}
        for tree, found, found_folders in (("Rock Ridge", by_name, name_folders),
                                           ("Joliet", by_joliet, joliet_folders)):
            for path in sorted(set(found) ^ expected):
                problems.append(f"{tree} tree: {'extra' if path in found else 'missing'} file {path}")
            for path in sorted(found_folders ^ set(folders)):
                problems.append(f"{tree} tree: {'extra' if path in found_folders else 'missing'} folder {path}")
        volume = iso.pvd.volume_identifier.decode("ascii").rstrip()
        if volume != label:
            problems.append(f"volume label {volume!r}, not {label!r}")

        compared = []
        for disc_file in files:
            record, joliet = by_name.get(disc_file.disc_path), by_joliet.get(disc_file.disc_path)
            if record is not None and joliet is not None:
                found = check_records(iso, disc_file, record, joliet)
                problems.extend(found)
                if not found:
                    compared.append((disc_file, record.extent_location() * SECTOR))
        # The bytes are compared on all cores: reads and CRCs of large
        # blocks run outside Python's lock.
        image_fd = os.open(image, os.O_RDONLY)
        try:
            with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
                crcs = pool.map(lambda entry: compare_bytes(image_fd, entry[1], entry[0]), compared)
                for (disc_file, _), crc in zip(compared, crcs):
                    disc_file.crc = crc
                    if crc is None:
                        problems.append(f"{disc_file.disc_path}: its bytes differ from {disc_file.source}")
        finally:
            os.close(image_fd)
    finally:
        iso.close()
    return problems


def check_records(iso, disc_file, record, joliet):
    """The problems with one file's two directory records; fills in its
    ISO 9660 name."""
    problems = []
    disc_file.iso_path = iso.full_path_from_dirrecord(record).split(";")[0]
    if disc_file.disc_path in PLAIN_NAMES and disc_file.iso_path != disc_file.disc_path:
        problems.append(f"{disc_file.disc_path} has the ISO 9660 name {disc_file.iso_path}")
    if (record.extent_location(), record.get_data_length()) != \
            (joliet.extent_location(), joliet.get_data_length()):
        problems.append(f"{disc_file.disc_path}: the ISO 9660 and Joliet names lead to different data")
    if record.get_data_length() != disc_file.size:
        problems.append(f"{disc_file.disc_path}: {record.get_data_length()} bytes, not {disc_file.size}")
    return problems


def compare_bytes(image_fd, offset, disc_file):
    """The CRC-32 of the source when the image holds the same bytes at the
    offset, else None."""
    crc = 0
    with open(disc_file.source, "rb", buffering=0) as source:
        while True:
            want = source.read(CHUNK)
            if not want:
                return crc
            if os.pread(image_fd, len(want), offset) != want:
                return None
            offset += len(want)
            crc = zlib.crc32(want, crc)


def counted(number, word):
    return f"{number} {word}" + ("" if number == 1 else "s")


def print_table(files):
    rows = [("path", "ISO 9660 name", "Joliet name", "size", "CRC-32")]
    rows += [(f.source, f.iso_path, f.disc_path, str(f.size), f"{f.crc:08X}") for f in files]
    widths = [max(len(row[i]) for row in rows) for i in range(5)]
    for row in rows:
        print("  ".join(cell.rjust(width) if i == 3 else cell.ljust(width)
                        for i, (cell, width) in enumerate(zip(row, widths))).rstrip())


def dos_name_warnings(files, folders):
    """Names that Windows NT 3.51, which reads only the ISO 9660 tree, sees
    shortened."""
    warnings = []
    for path in folders:
        name = path.rsplit("/", 1)[1]
        if not DOS_FOLDER.match(name.upper()):
            warnings.append(f"folder {path[1:]}")
    for disc_file in files:
        name = disc_file.disc_path.rsplit("/", 1)[1]
        if not DOS_NAME.match(name.upper()):
            warnings.append(f"{disc_file.disc_path[1:]} is {disc_file.iso_path[1:]}")
    return warnings


def parse_arguments():
    parser = argparse.ArgumentParser(
        prog="make-disc.sh",
        description="Makes a verified ISO 9660 + Joliet image of the install disc.")
    parser.add_argument("--installer", metavar="DIR",
                        help="the installer folder: Setup.exe and everything beside it "
                             "(default: the sample disc's stand-in installer)")
    parser.add_argument("--label", metavar="TEXT",
                        help="the volume label (default: the label of AUTORUN.INF)")
    parser.add_argument("--output", metavar="FILE",
                        help="the image (default: build/disc/PRODUCT.iso, the product word in "
                             "lower case)")
    brand = parser.add_argument_group(
        "the launcher's brand (default: KELMORA's); see the README for the rules")
    brand.add_argument("--product", metavar="WORD", help="the product word of the title")
    brand.add_argument("--version", metavar="A.B.C", help="the version text")
    brand.add_argument("--company", metavar="TEXT", help="the version block's company name")
    brand.add_argument("--copyright", metavar="TEXT", help="the version block's copyright line")
    brand.add_argument("--splash", metavar="PICTURE", help="the splash picture (PNG, JPEG, BMP, ...)")
    brand.add_argument("--icon", metavar="PICTURE", help="the icon picture")
    brand.add_argument("--languages", metavar="LIST",
                       help="the languages the launcher carries besides English, as de,fr,es")
    brand.add_argument("--language-file", metavar="CODE=FILE", action="append", default=[],
                       help="a language's texts of your own (repeatable)")
    brand.add_argument("--previews", metavar="DIR",
                       help="write " + ", ".join(PREVIEWS) + " into DIR, and splash-CODE.png "
                            "for each language")
    # The tests give a built launcher and AUTORUN.INF instead of a brand.
    parser.add_argument("--launcher", metavar="EXE", help=argparse.SUPPRESS)
    parser.add_argument("--autorun", metavar="INF", help=argparse.SUPPRESS)
    return parser.parse_args()


def build_launcher(arguments):
    """Builds the branded launcher and AUTORUN.INF in build/disc; returns
    their paths and the product word. Settings left out are reset to their
    defaults, so nothing carries over from an earlier run."""
    settings = []
    for option in BRAND_OPTIONS:
        value = getattr(arguments, option)
        name = "TARNELL_" + option.upper()
        if value is None:
            settings.append("-U" + name)
        else:
            if option in ("splash", "icon"):
                value = os.path.abspath(value)
            settings.append(f"-D{name}={value}")
    # The languages are checked by the brand tool, as the other settings.
    settings.append("-DTARNELL_LANGUAGES=" + (arguments.languages or ""))
    settings.append("-DTARNELL_LANGUAGE_FILES=" + ";".join(
        code + "=" + os.path.abspath(path) if path else item for item, (code, _, path) in
        ((item, item.partition("=")) for item in arguments.language_file)))
    # The launcher's resources depend on the brand's art, which makes the
    # previews along with the pictures.
    commands = [["cmake", "--preset", "disc", "-DTARNELL_BRAND_NAMES=options"] + settings,
                ["cmake", "--build", "--preset", "disc", "--target", "disc"]]
    for command in commands:
        result = subprocess.run(command, cwd=PROJECT, capture_output=True, text=True)
        if result.returncode != 0:
            output = (result.stdout + result.stderr).splitlines()
            refusals = [line.strip() for line in output if ": refused: " in line]
            for line in refusals or output:
                print(line, file=sys.stderr)
            raise Refusal("the launcher's brand was refused" if refusals
                          else "the launcher could not be built", " ".join(command))
        # What the converters say of the pictures (backdrop, panel, colours).
        for line in result.stdout.splitlines():
            if line.startswith(("--splash: ", "--icon: ")):
                print(line)
    with open(os.path.join(BUILD, "CMakeCache.txt"), encoding="utf-8") as cache:
        product = next(line.split("=", 1)[1].rstrip("\n") for line in cache
                       if line.startswith("TARNELL_PRODUCT:"))
    folder = os.path.join(BUILD, "disc")
    return os.path.join(folder, LAUNCHER_NAME), os.path.join(folder, AUTORUN_NAME), product


def copy_previews(folder):
    os.makedirs(folder, exist_ok=True)
    buttons = os.path.join(BUILD, "brand", "tarnell", "buttons.txt")
    languages = []
    if os.path.exists(buttons):
        with open(buttons, encoding="utf-8") as listing:
            languages = [f"splash-{line.split(chr(9))[0]}.png" for line in listing if line.strip()]
    for name in PREVIEWS + tuple(languages):
        shutil.copyfile(os.path.join(BUILD, "brand", "tarnell", "previews", name),
                        os.path.join(folder, name))
    print(f"previews: {', '.join(os.path.join(folder, name) for name in PREVIEWS + tuple(languages))}")


def image_name(product):
    """The product word as a file name: lower case without accents, other
    than letters and digits as hyphens."""
    slug = re.sub(r"[^a-z0-9]+", "-", without_accents(product.lower())).strip("-")
    return (slug or "disc") + ".iso"


def main():
    arguments = parse_arguments()
    installer = arguments.installer or os.path.join(BUILD, "sample-installer")
    label = map_label(arguments.label) if arguments.label is not None else None
    epoch = image_epoch()
    # A given installer folder is checked before anything is built.
    scanned = scan_installer(installer) if arguments.installer is not None else None

    if arguments.launcher is None or arguments.autorun is None:
        arguments.launcher, arguments.autorun, product = build_launcher(arguments)
    else:
        product = "kelmora"
    for path, what in ((arguments.launcher, "launcher"), (arguments.autorun, "AUTORUN.INF")):
        if not os.path.isfile(path):
            raise Refusal(f"the {what} is not built", path)
    if arguments.previews:
        copy_previews(arguments.previews)
    output = os.path.abspath(arguments.output or os.path.join(BUILD, image_name(product)))
    if label is None:
        label = map_label(autorun_label(arguments.autorun), loose=True)
    files, folders = scanned or scan_installer(installer)
    real_installer = os.path.realpath(installer)
    output_folder = os.path.dirname(output)
    if not os.path.isdir(output_folder):
        raise Refusal("the output's folder does not exist", output_folder)
    if os.path.isdir(output):
        raise Refusal("the output is a folder", output)
    if inside(real_installer, os.path.realpath(output)):
        raise Refusal("the output may not lie inside the installer folder", output)

    setup_source = next(f.source for f in files if f.disc_path == "/" + SETUP_NAME)
    files = [DiscFile("/" + AUTORUN_NAME, arguments.autorun),
             DiscFile("/" + LAUNCHER_NAME, arguments.launcher)] + files

    handle, partial = tempfile.mkstemp(prefix="." + os.path.basename(output) + ".", suffix=".partial",
                                       dir=output_folder)
    os.close(handle)
    try:
        write_image(partial, label, epoch, arguments.launcher, arguments.autorun, installer, setup_source)
        problems = verify_image(partial, label, files, folders)
        if problems:
            for problem in problems:
                print(f"make-disc: mismatch: {problem}", file=sys.stderr)
            raise Refusal("the image does not hold what was given", f"{len(problems)} mismatches")
        os.chmod(partial, 0o644)
        os.replace(partial, output)
    finally:
        if os.path.exists(partial):
            os.unlink(partial)

    print_table(files)
    warnings = dos_name_warnings(files, folders)
    for warning in warnings:
        print(f"warning: not an 8.3 name, Windows NT 3.51 sees it shortened: {warning}")
    if len(label) > JOLIET_LABEL_LIMIT:
        print(f"warning: Windows shows the first {JOLIET_LABEL_LIMIT} characters of the label: "
              f"{label[:JOLIET_LABEL_LIMIT]}")
    total = sum(f.size for f in files)
    print(f"verified {counted(len(files), 'file')}, {counted(len(folders), 'folder')}, "
          f"{counted(total, 'byte')}; label {label}; {counted(len(warnings), 'warning')}; "
          f"image {output} ({os.path.getsize(output)} bytes)")


if __name__ == "__main__":
    try:
        main()
    except Refusal as refusal:
        print(f"make-disc: refused: {refusal}", file=sys.stderr)
        sys.exit(1)
