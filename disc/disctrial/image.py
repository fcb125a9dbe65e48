"""Reading a disc image for the trial, with pycdlib: whether it is a whole
ISO 9660 image, the tree of names each Windows version reads (Joliet where
the image has it, the ISO 9660 names for Windows NT 3.51 and on an image
without Joliet), and its AUTORUN.INF checked against a tree.

An image may come from anyone, so nothing of it is trusted. Before
pycdlib reads it, its trees are walked from its own bytes within bounds
(imagewalk.py) and pycdlib itself opens it once in a process of its own
under limits of memory and time (probe.py), so that no folder that holds
itself makes any reader loop. Then a name in either tree that is not a
plain name once decoded is refused before anything is extracted, an
image whose files overlap or run past its end is refused as damaged, and
every file extracted is checked to land inside the trial's own folder.
The most a tree extracts is the image's own size."""
import configparser
import os
import subprocess
import sys

import pycdlib
from pycdlib.pycdlibexception import PyCdlibException

from hostlib import Refusal, shown
from hostlib.files import UntrustedFileError, read_regular
from disctrial import imagewalk

JOLIET = "Joliet"
ISO9660 = "ISO 9660"
AUTORUN = "AUTORUN.INF"
SECTOR = 2048
# What a plain name never holds: the path separators of either system and
# the colon of a drive letter or a stream.
SEPARATORS = "/\\:"
DEPTH_LIMIT = imagewalk.DEPTH_LIMIT
# AUTORUN.INF as Windows reads it: a few lines; more is no INF of autorun's.
AUTORUN_LIMIT = 1 << 20
# The process that opens the image first: its memory and its processor
# time (and twice that on the clock).
PROBE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "probe.py")
PROBE_MEMORY = 1 << 30
PROBE_SECONDS = 60
PROBE_REFUSED = 3


def probe(path):
    """Opens the image with pycdlib in a process of its own, under limits;
    Refusal when pycdlib refuses it or cannot read it within them."""
    command = ["prlimit", f"--as={PROBE_MEMORY}", f"--cpu={PROBE_SECONDS}", "--",
               sys.executable, "-I", PROBE, path]
    bounds = f"{PROBE_MEMORY >> 20} MiB of memory and {PROBE_SECONDS} s"
    try:
        result = subprocess.run(command, capture_output=True, text=True,
                                timeout=2 * PROBE_SECONDS)
    except subprocess.TimeoutExpired:
        raise Refusal(f"the image cannot be read within {bounds}", repr(path)) from None
    if result.returncode == PROBE_REFUSED:
        raise Refusal("not an ISO 9660 image (" + (result.stdout.strip() or "unreadable") + ")",
                      repr(path))
    if result.returncode != 0:
        raise Refusal(f"the image cannot be read within {bounds}", repr(path))


class DiscImage:
    """An opened image; close() when done."""

    def __init__(self, path):
        if not os.path.isfile(path):
            raise Refusal("the image does not exist or is no file", repr(path))
        self.path = path
        self.walked = imagewalk.check(path)
        probe(path)
        self.iso = pycdlib.PyCdlib()
        try:
            self.iso.open(path)
        except (PyCdlibException, OSError, ValueError, IndexError, KeyError) as error:
            raise Refusal("not an ISO 9660 image (" + first_line(error) + ")", repr(path))
        self.has_joliet = self.iso.has_joliet()
        try:
            self.check_trees()
        except Refusal:
            self.close()
            raise

    def tree_for(self, version_reads_joliet):
        """The name of the tree that a version reads."""
        return JOLIET if version_reads_joliet and self.has_joliet else ISO9660

    def trees(self):
        """The trees the image holds, with their roots' records."""
        trees = [(ISO9660, self.iso.get_record(iso_path="/"))]
        if self.has_joliet:
            trees.append((JOLIET, self.iso.get_record(joliet_path="/")))
        return trees

    def check_trees(self):
        """Refuses a name that is not plain and an image that is damaged,
        before anything of it is extracted."""
        extents = set()
        cut = []
        for tree, root in self.trees():
            for path, record in walk_records(root, tree):
                if not record.is_dir() and record.get_data_length() > 0:
                    extents.add((record.extent_location(),
                                 -(-record.get_data_length() // SECTOR)))
                    # pycdlib cuts a file whose data runs past the image's
                    # file to what the file holds; the record keeps its
                    # own length, which then differs.
                    if record.data_length != record.get_data_length():
                        cut.append(record.extent_location())
        space = self.iso.pvd.space_size
        past = cut + [start for start, length in extents if start + length > space]
        if past:
            raise Refusal("the image is damaged: a file's data runs past its end "
                          f"(sector {max(past)} of {space})", repr(self.path))
        # Records that share one extent are counted once here (the two
        # trees name the same data) and once each by imagewalk's bound.
        ordered = sorted(extents)
        for (start, length), (next_start, _) in zip(ordered, ordered[1:]):
            if start + length > next_start:
                raise Refusal(f"the image is damaged: two files' data overlap at sector "
                              f"{next_start}", repr(self.path))

    def extract(self, tree, folder):
        """Copies the tree's files into folder under the names that tree
        gives (ISO 9660 names without their ';1' and a bare final dot).
        Every path is checked to lie inside folder before it is written."""
        top = os.path.realpath(folder)
        os.makedirs(top, exist_ok=True)
        root = dict(self.trees())[tree]
        try:
            for parts, record in walk_records(root, tree):
                local = os.path.join(top, *parts)
                if os.path.commonpath([top, os.path.realpath(local)]) != top:
                    raise Refusal("a name in the image leads outside the trial's folder",
                                  shown("/".join(parts)))
                if record.is_dir():
                    os.makedirs(local, exist_ok=True)
                else:
                    with open(local, "xb") as out:
                        self.iso.get_file_from_iso_fp(out, **{path_key(tree): record_path(
                            self.iso, record, tree)})
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


def path_key(tree):
    return "joliet_path" if tree == JOLIET else "iso_path"


def record_path(iso, record, tree):
    """The path pycdlib knows a record by in its tree."""
    if tree == JOLIET:
        return iso.full_path_from_dirrecord(record, rockridge=False)
    return iso.full_path_from_dirrecord(record)


def decoded_name(identifier, tree):
    """The name a tree gives a record, as a version of Windows reads it:
    Joliet's UCS-2, or the ISO 9660 bytes without their ';1' and a bare
    final dot. Raises Refusal for a name that is not a plain name."""
    if tree == JOLIET:
        try:
            name = identifier.decode("utf-16-be")
            name.encode("utf-8")
        except UnicodeError:
            raise Refusal("a name in the image's Joliet tree cannot be read as text",
                          shown(identifier.decode("latin-1"))) from None
    else:
        name = identifier.decode("latin-1").split(";")[0]
        if name.endswith(".") and len(name) > 1:
            name = name[:-1]
    return name


def plain_name(name, tree, parts):
    """Refuses a name that is not a plain name: empty, '.' or '..', with a
    path separator of either system, a drive letter's colon or a control
    character."""
    where = shown("/".join(parts + [name]))
    if name in ("", ".", ".."):
        raise Refusal(f"a name in the image's {tree} tree is not a plain name ('{name}')", where)
    bad = [c for c in name if c in SEPARATORS or ord(c) < 0x20 or ord(c) == 0x7F]
    if bad:
        raise Refusal(f"a name in the image's {tree} tree holds '{shown(bad[0])}', which no "
                      "plain name holds", where)


def walk_records(root, tree):
    """(path parts, record) of every file and folder under the root, the
    names checked plain; a folder met again, or too deep, is a loop and
    refused (imagewalk has refused such an image already: this walk, too,
    never loops)."""
    seen = {root.extent_location()}
    pending = [([], root)]
    while pending:
        parts, folder = pending.pop()
        if len(parts) > DEPTH_LIMIT:
            raise Refusal(f"the image is damaged: its {tree} tree is nested deeper than "
                          f"{DEPTH_LIMIT} folders", shown("/".join(parts)))
        for record in folder.children:
            if record is None or record.is_dot() or record.is_dotdot():
                continue
            name = decoded_name(record.file_identifier(), tree)
            plain_name(name, tree, parts)
            path = parts + [name]
            yield path, record
            if record.is_dir():
                if record.extent_location() in seen:
                    raise Refusal(f"the image is damaged: a folder of its {tree} tree "
                                  "holds itself", shown("/".join(path)))
                seen.add(record.extent_location())
                pending.append((path, record))


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
        try:
            text = read_regular(path, AUTORUN_LIMIT).decode("cp1252", errors="replace")
        except UntrustedFileError as error:
            self.fatal.append(f"{AUTORUN} cannot be read: it is {error.strerror}")
            return
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
