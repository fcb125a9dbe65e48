"""The disc's name rules: the volume label, the installer folder and the
names of what it holds, and which names Windows NT 3.51 sees shortened."""
import os
import re
import stat
import unicodedata

from . import Refusal

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


def check_installer_root(folder):
    """The installer folder's own rules; returns its sorted entries and the
    name its Setup.exe has."""
    if not os.path.exists(folder):
        raise Refusal("the installer folder does not exist", folder)
    if not os.path.isdir(folder):
        raise Refusal("the installer is a file, not the folder that holds Setup.exe", folder)
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
            disc_path = "/" + (SETUP_NAME if here == folder and name == setup else relative)
            disc_file = DiscFile(disc_path, path)
            if disc_file.size >= FILE_SIZE_LIMIT:
                raise Refusal("ISO 9660 holds files of less than 4 GiB",
                              f"{relative} ({disc_file.size} bytes)")
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
            warnings.append(f"folder {path[1:]}")
    for disc_file in files:
        name = disc_file.disc_path.rsplit("/", 1)[1]
        if not DOS_NAME.match(name.upper()):
            warnings.append(f"{disc_file.disc_path[1:]} is {disc_file.iso_path[1:]}")
    return warnings
