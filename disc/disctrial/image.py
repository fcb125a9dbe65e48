"""Reading a disc image for the trial, with pycdlib: whether it is a whole
ISO 9660 image, the tree of names each Windows version reads (Joliet where
the image has it, the ISO 9660 names for Windows NT 3.51 and on an image
without Joliet), and its AUTORUN.INF checked against a tree."""
import configparser
import os

import pycdlib
from pycdlib.pycdlibexception import PyCdlibException

from hostlib import Refusal

JOLIET = "Joliet"
ISO9660 = "ISO 9660"
AUTORUN = "AUTORUN.INF"


class DiscImage:
    """An opened image; close() when done."""

    def __init__(self, path):
        if not os.path.isfile(path):
            raise Refusal("the image does not exist or is no file", repr(path))
        self.path = path
        self.iso = pycdlib.PyCdlib()
        try:
            self.iso.open(path)
        except (PyCdlibException, OSError, ValueError, IndexError, KeyError) as error:
            raise Refusal("not an ISO 9660 image (" + first_line(error) + ")", repr(path))
        size = os.path.getsize(path)
        needed = self.iso.pvd.space_size * self.iso.pvd.log_block_size
        if size < needed:
            self.close()
            raise Refusal(f"the image is truncated: it holds {size} of its {needed} bytes",
                          repr(path))
        self.has_joliet = self.iso.has_joliet()

    def tree_for(self, version_reads_joliet):
        """The name of the tree that a version reads."""
        return JOLIET if version_reads_joliet and self.has_joliet else ISO9660

    def extract(self, tree, folder):
        """Copies the tree's files into folder under the names that tree
        gives (ISO 9660 names without their ';1' and a bare final dot)."""
        key = "joliet_path" if tree == JOLIET else "iso_path"
        try:
            for here, dirs, names in self.iso.walk(**{key: "/"}):
                local = os.path.join(folder, *[shown_name(part, tree)
                                               for part in here.strip("/").split("/") if part])
                os.makedirs(local, exist_ok=True)
                for name in names:
                    source = here.rstrip("/") + "/" + name
                    self.iso.get_file_from_iso(os.path.join(local, shown_name(name, tree)),
                                               **{key: source})
        except (PyCdlibException, OSError, ValueError) as error:
            raise Refusal("the image cannot be read whole (" + first_line(error) + ")",
                          repr(self.path))

    def close(self):
        try:
            self.iso.close()
        except PyCdlibException:
            pass


def first_line(error):
    text = str(error).strip() or type(error).__name__
    return text.splitlines()[0]


def shown_name(name, tree):
    if tree == ISO9660:
        name = name.split(";")[0]
        if name.endswith(".") and len(name) > 1:
            name = name[:-1]
    return name


def find(root, windows_path):
    """The file a Windows path relative to the drive's root names in the
    folder, compared without case as Windows does; None when missing."""
    here = root
    for part in [p for p in windows_path.replace("/", "\\").split("\\") if p]:
        try:
            entries = os.listdir(here)
        except OSError:
            return None
        match = [entry for entry in entries if entry.lower() == part.lower()]
        if not match:
            return None
        here = os.path.join(here, match[0])
    return here


def program_and_arguments(value):
    """open= is a command line: the program, maybe quoted, and arguments."""
    value = value.strip()
    if value.startswith('"'):
        end = value.find('"', 1)
        end = len(value) if end < 0 else end
        return value[1:end], value[end + 1:].strip()
    program, _, arguments = value.partition(" ")
    return program, arguments.strip()


class Autorun:
    """AUTORUN.INF as one tree shows it: the program to start (as open=
    names it, and the file it is in the tree), or the
    problems that keep autorun from starting anything (fatal) or that a
    user would see (the icon)."""

    def __init__(self, root):
        self.program = self.program_file = self.arguments = None
        self.fatal = []
        self.problems = []
        path = find(root, AUTORUN)
        if path is None:
            self.fatal.append(f"no {AUTORUN} in the root")
            return
        with open(path, "rb") as source:
            text = source.read().decode("cp1252", errors="replace")
        parser = configparser.ConfigParser(strict=False, interpolation=None,
                                           delimiters=("=",), comment_prefixes=(";",))
        try:
            parser.read_string(text)
        except configparser.Error as error:
            self.fatal.append(f"{AUTORUN} cannot be read as an INF file: {first_line(error)}")
            return
        section = next((name for name in parser.sections() if name.lower() == "autorun"), None)
        if section is None:
            self.fatal.append(f"{AUTORUN} has no [autorun] section")
            return
        entries = parser[section]
        if not entries.get("open", "").strip():
            self.fatal.append(f"{AUTORUN} has no open= line")
            return
        program, self.arguments = program_and_arguments(entries["open"])
        self.program_file = find(root, program)
        if self.program_file is None:
            self.fatal.append(f"open= names {program}, which is not on the disc")
            return
        self.program = program.replace("/", "\\").lstrip("\\")
        icon = entries.get("icon", "").strip()
        if icon:
            icon_file = icon.rsplit(",", 1)[0].strip().strip('"')
            if find(root, icon_file) is None:
                self.problems.append(f"icon= names {icon_file}, which is not on the disc")

    def command(self, drive):
        """The command line autorun runs, on the drive ("R:")."""
        line = f'"{drive}\\{self.program}"'
        return line + (" " + self.arguments if self.arguments else "")
