"""The disc's name rules: the volume label, the installer folder and the
names of what it holds, and which names Windows NT 3.51 sees shortened."""
import os
import re
import stat
import unicodedata

from hostlib import Refusal, shown
from launcher.contract import LAUNCHER

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
# The installer the launcher starts, in an ISO 9660 name's upper case.
SETUP_NAME = LAUNCHER.installer.upper()
# Windows NT 3.51 reads only ISO 9660 names: these three must be the same
# in both trees.
PLAIN_NAMES = ("/" + AUTORUN_NAME, "/" + LAUNCHER_NAME, "/" + SETUP_NAME)
# ISO 9660 d-characters: what a volume label may hold.
LABEL_PATTERN = re.compile(r"^[A-Z0-9_]+$")
# Word separators in a label become underscores.
LABEL_SEPARATORS = " -."
DOS_NAME = re.compile(r"^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?$")
DOS_FOLDER = re.compile(r"^[A-Z0-9_]{1,8}$")
# What Windows 95 to XP cannot open, though Linux writes it and Joliet
# holds it: characters the Win32 file functions refuse, device names
# (CON.TXT opens the console, whatever its extension), and a final dot or
# space, which Windows drops, so that the name leads to another file.
WINDOWS_FORBIDDEN = '<>"|'
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL", "CLOCK$"} | \
    {f"{port}{n}" for port in ("COM", "LPT") for n in range(1, 10)}
# The ISO 9660 tree that Windows NT 3.51 reads: folders 8 levels deep at
# most (the root is the first) and paths of at most 255 characters.
ISO_DEPTH_LIMIT = 8
ISO_PATH_LIMIT = 255
# What each medium holds, in 2048-byte sectors.
MEDIA = [("650 MB CD-R", 333000), ("700 MB CD-R", 360000), ("4.7 GB DVD+R or DVD-R", 2295104)]
SECTOR = 2048
# The image's own records beside the files: system area, descriptors,
# path tables, and a sector or two for each folder's directory.
IMAGE_OVERHEAD_SECTORS = 64


# Letters of Windows-1252 that keep no plain letter when their accents go.
LETTERS_WITHOUT_BASE = {"ß": "ss", "Æ": "AE", "æ": "ae", "Ø": "O", "ø": "o", "Œ": "OE",
                        "œ": "oe", "Ð": "D", "ð": "d", "Þ": "TH", "þ": "th", "ƒ": "f"}


def without_accents(text):
    """The text in plain letters: accents dropped, and the letters that have
    no plain base spelt out, as the names made from a product's word take
    it."""
    plain = "".join(LETTERS_WITHOUT_BASE.get(c, c) for c in text)
    return "".join(c for c in unicodedata.normalize("NFKD", plain)
                   if not unicodedata.combining(c))


def disc_names(product, version):
    """The image's file name (without .iso) and the volume label a disc of
    the product gets when none is given, made by one rule from the product
    word and the version: in plain letters and digits, the rest as
    separators. The file name is the word in lower case with hyphens
    (heron-atlas); the label the word and the version when both fit the
    characters Windows shows, else the word alone, cut to them
    (KELMORA_2_31_005, HERON_ATLAS)."""
    words = re.findall(r"[A-Za-z0-9]+", without_accents(product))
    stem = "-".join(words).lower() or "disc"
    word = "_".join(words).upper() or "DISC"
    whole = "_".join([word] + re.findall(r"[0-9]+", version))
    label = whole if len(whole) <= JOLIET_LABEL_LIMIT else \
        (word[:JOLIET_LABEL_LIMIT].rstrip("_") or whole[:JOLIET_LABEL_LIMIT])
    return stem, label[:LABEL_LIMIT]


def map_label(text):
    """Upper-cases a label and turns spaces, hyphens and dots into
    underscores; refuses what is left outside A-Z, 0-9 and _."""
    label = text.upper()
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
    relative = shown(relative)
    if any(0xDC80 <= ord(c) <= 0xDCFF for c in name):
        raise Refusal("a name is no valid text in the file system's encoding (rename it)",
                      relative)
    if any(ord(c) > 0xFFFF for c in name):
        raise Refusal("Joliet holds characters of UCS-2 only, and this one lies beyond it",
                      relative)
    if len(name) > JOLIET_NAME_LIMIT:
        raise Refusal(f"a Joliet name holds at most {JOLIET_NAME_LIMIT} characters", relative)
    bad = [c for c in name if c in JOLIET_FORBIDDEN or ord(c) < 32]
    if bad:
        raise Refusal(f"Joliet names may not hold '{shown(bad[0])}'", relative)
    bad = [c for c in name if c in WINDOWS_FORBIDDEN]
    if bad:
        raise Refusal(f"Windows cannot open a name that holds {bad[0]!r}", relative)
    if name.split(".")[0].upper().rstrip(" ") in DEVICE_NAMES:
        raise Refusal("Windows takes this name for a device (CON, PRN, AUX, NUL, COM1 to "
                      "COM9, LPT1 to LPT9, with any extension), not a file", relative)
    if name.endswith((".", " ")):
        raise Refusal("Windows drops a final dot or space from a name, so it would open "
                      "another file or none", relative)


def check_installer_root(folder):
    """The installer folder's own rules; returns its sorted entries and the
    name its Setup.exe has."""
    if not os.path.exists(folder):
        raise Refusal("the installer folder does not exist", shown(folder))
    if not os.path.isdir(folder):
        raise Refusal("the installer is a file, not the folder that holds Setup.exe", shown(folder))
    entries = sorted(os.listdir(folder))
    if not entries:
        raise Refusal("the installer folder is empty", shown(folder))
    setup = [e for e in entries if e.upper() == SETUP_NAME]
    if not setup or not os.path.isfile(os.path.join(folder, setup[0])):
        raise Refusal("the installer folder has no Setup.exe at its root", shown(folder))
    for entry in entries:
        if entry.upper() in (AUTORUN_NAME, LAUNCHER_NAME):
            raise Refusal(f"the disc's own {entry.upper()} would be replaced by the installer's",
                          shown(os.path.join(folder, entry)))
    return entries, setup[0]


def scan_installer(folder):
    """Every file and folder of the installer, in a sorted order, with the
    checks that concern them. Links to files inside the folder are stored
    as copies of their targets; other links are refused."""
    _, setup = check_installer_root(folder)
    real_root = os.path.realpath(folder)
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
                              "cannot hold", f"{shown(seen[name.upper()])} and {shown(relative)}")
            seen[name.upper()] = relative
            if name in dirs:
                if os.path.islink(path):
                    raise Refusal("a link to a folder cannot go on the disc (put the folder "
                                  "itself there)", shown(relative))
                folders.append("/" + relative)
                continue
            if os.path.islink(path):
                if not inside(real_root, os.path.realpath(path)):
                    raise Refusal("a link points outside the installer folder",
                                  f"{shown(relative)} -> {shown(os.readlink(path))}")
                if not os.path.isfile(path):
                    raise Refusal("a link points to no file",
                                  f"{shown(relative)} -> {shown(os.readlink(path))}")
            elif not stat.S_ISREG(os.lstat(path).st_mode):
                raise Refusal("only files and folders can go on the disc", shown(relative))
            disc_path = "/" + (SETUP_NAME if here == folder and name == setup else relative)
            disc_file = DiscFile(disc_path, path)
            if disc_file.size >= FILE_SIZE_LIMIT:
                raise Refusal("ISO 9660 holds files of less than 4 GiB",
                              f"{shown(relative)} ({disc_file.size} bytes)")
            files.append(disc_file)
    return files, folders


def check_output(output, installer):
    """The image's path: a file in an existing folder, outside the
    installer folder (when one is given)."""
    output_folder = os.path.dirname(output)
    if not os.path.isdir(output_folder):
        raise Refusal("the output's folder does not exist", output_folder)
    if os.path.isdir(output):
        raise Refusal("the output is a folder", output)
    if installer is not None and inside(os.path.realpath(installer), os.path.realpath(output)):
        raise Refusal("the output may not lie inside the installer folder", output)


def dos_name_warnings(files, folders):
    """Names that Windows NT 3.51, which reads only the ISO 9660 tree, sees
    shortened."""
    warnings = []
    for path in folders:
        name = path.rsplit("/", 1)[1]
        if not DOS_FOLDER.match(name.upper()):
            warnings.append(f"folder {shown(path[1:])}")
    for disc_file in files:
        name = disc_file.disc_path.rsplit("/", 1)[1]
        if not DOS_NAME.match(name.upper()):
            warnings.append(f"{shown(disc_file.disc_path[1:])} is {disc_file.iso_path[1:]}")
    return warnings


def sectors_of(size):
    return (size + SECTOR - 1) // SECTOR


def check_capacity(files, folders):
    """Refuses, before anything is written, a tree that no medium holds;
    the estimate counts each file's sectors and the image's own records."""
    estimate = sum(sectors_of(f.size) for f in files) + 2 * len(folders) + IMAGE_OVERHEAD_SECTORS
    name, largest = MEDIA[-1]
    if estimate > largest:
        raise Refusal(f"the image would not fit a {name}, the largest medium it is made for "
                      f"({largest} sectors of {SECTOR} bytes)", f"about {estimate} sectors")


def media_line(image_size):
    """Which media the image fits, with the sectors."""
    sectors = sectors_of(image_size)

    def listed(media):
        names = [f"a {name} ({limit} sectors)" for name, limit in media]
        return names[0] if len(names) == 1 else ", ".join(names[:-1]) + " and " + names[-1]
    fits = [medium for medium in MEDIA if sectors <= medium[1]]
    short = [medium for medium in MEDIA if sectors > medium[1]]
    line = f"{sectors} sectors of {SECTOR} bytes: fits {listed(fits)}"
    return line + (f"; too large for {listed(short)}" if short else "")


def iso_tree_warnings(files, folders):
    """What Windows NT 3.51, which reads the ISO 9660 tree, may not reach:
    folders deeper than its 8 levels and paths longer than 255 characters
    (the ISO 9660 names, which the files have after the image is read
    back)."""
    warnings = []
    for path in folders:
        level = path.count("/") + 1
        if level > ISO_DEPTH_LIMIT:
            warnings.append(f"folder {shown(path[1:])} is ISO 9660 level {level}, past the "
                            f"{ISO_DEPTH_LIMIT} levels Windows NT 3.51 reads (the root is the "
                            "first); the image holds it as it is")
    for disc_file in files:
        iso_path = disc_file.iso_path or disc_file.disc_path
        if len(iso_path) > ISO_PATH_LIMIT:
            warnings.append(f"{shown(disc_file.disc_path[1:])}: its ISO 9660 path has "
                            f"{len(iso_path)} characters, past the {ISO_PATH_LIMIT} Windows "
                            "NT 3.51 reads")
    return warnings
