#!/usr/bin/python3
"""The disc image command run as a publisher runs it: refusals that name the
rule and the value, each on one line, given before anything is built and
leaving nothing behind, an image already at the output kept whole after a
refusal, 8.3 warnings, and the same bytes from the same inputs.

The image maker is called as the disc command calls it, with the launcher,
AUTORUN.INF and the stand-in installer of the build: TARNELL_LAUNCHER,
TARNELL_AUTORUN and TARNELL_SETUP. The command itself builds its launcher
in build/disc."""
import io
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import pefile
import pycdlib

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, PROJECT)
sys.path.insert(0, os.path.join(PROJECT, "disc"))
sys.path.insert(0, HERE)
from discimage.autorun import autorun_inf  # noqa: E402
from discimage.names import disc_names  # noqa: E402
from hostlib import Refusal  # noqa: E402
from publish.make_disc import DiscOptions, make_disc  # noqa: E402
from launcher.contract import LAUNCHER  # noqa: E402
from certificates import AUTHORITY, PASSWORD, PUBLISHER, Certificates  # noqa: E402
from timestamps import TimestampServer  # noqa: E402
MAKE_IMAGE = os.path.join(PROJECT, "disc", "make_image.py")
MAKE_DISC = os.path.join(PROJECT, "scripts", "make-disc.sh")
BUILDING = "make-disc: building the launcher"
OLD_IMAGE = b"an image from an earlier run"


# xorriso as it is, then one byte of DATA1.CAB's data (its text
# "DATA1.CAB" and a line end) changed in the image it wrote.
CORRUPTING_XORRISO = """#!/bin/sh
/usr/bin/xorriso "$@" || exit $?
previous=
for argument; do [ "$previous" = -o ] && image=$argument; previous=$argument; done
/usr/bin/python3 - "$image" <<'END'
import sys
with open(sys.argv[1], "r+b") as image:
    image.seek(image.read().index(b"DATA1.CAB\\n"))
    image.write(b"X")
END
"""


def gzip_crc(path):
    """The CRC-32 of the file as gzip's trailer records it, in hex."""
    packed = subprocess.run(["gzip", "-c", path], capture_output=True, check=True).stdout
    return f"{int.from_bytes(packed[-8:-4], 'little'):08X}"


class MakeDisc(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="make-disc-")
        self.addCleanup(shutil.rmtree, self.work)
        self.output = os.path.join(self.work, "out", "disc.iso")
        os.makedirs(os.path.dirname(self.output))

    def installer(self, name="installer", files=("Setup.exe",)):
        folder = os.path.join(self.work, name)
        for file in files:
            path = os.path.join(folder, file)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if file.lower() == "setup.exe":
                shutil.copy(os.environ["TARNELL_SETUP"], path)
            else:
                with open(path, "w") as out:
                    out.write(f"{file}\n")
        return folder

    def make(self, installer, *options, environment=None, autorun=None):
        command = ["/usr/bin/python3", MAKE_IMAGE, "make", *options, os.environ["TARNELL_LAUNCHER"],
                   autorun or os.environ["TARNELL_AUTORUN"], installer, self.output]
        return subprocess.run(command, capture_output=True, text=True,
                              env=dict(os.environ, **(environment or {})))

    def test_refusals_name_the_rule_and_value_and_keep_an_earlier_image(self):
        good = self.installer()
        nested = self.installer("nested", ["Disk1/Setup.exe"])
        empty = os.path.join(self.work, "empty")
        os.makedirs(empty)
        autorun = self.installer("autorun", ["Setup.exe", "autorun.inf"])
        launcher = self.installer("launcher", ["Setup.exe", "Tarnell.Exe"])
        huge = self.installer("huge", ["Setup.exe"])
        with open(os.path.join(huge, "DATA.CAB"), "wb") as data:
            data.truncate(4 << 30)      # sparse: no disk space taken
        outside = self.installer("outside", ["Setup.exe"])
        os.symlink(os.environ["TARNELL_AUTORUN"], os.path.join(outside, "readme.txt"))
        cases = [
            ("missing folder", [os.path.join(self.work, "nowhere")], "installer folder does not exist", "nowhere"),
            ("empty folder", [empty], "installer folder is empty", empty),
            ("no Setup.exe at the root", [nested], "no Setup.exe at its root", nested),
            ("AUTORUN.INF taken", [autorun], "own AUTORUN.INF", "autorun.inf"),
            ("TARNELL.EXE taken", [launcher], "own TARNELL.EXE", "Tarnell.Exe"),
            ("file of 4 GiB", [huge], "less than 4 GiB", "DATA.CAB (4294967296 bytes)"),
            ("link outside", [outside], "points outside the installer folder", "readme.txt ->"),
            ("a file, not a folder", [os.path.join(good, "Setup.exe")], "is a file, not the folder",
             "Setup.exe"),
            ("label too long", [good, "--label", "A" * 33], "at most 32 characters", "A" * 33),
            ("label with &", [good, "--label", "Kelmora & Co"], "'&' has no ISO 9660 form", "Kelmora & Co"),
        ]
        for name, arguments, rule, value in cases:
            with self.subTest(name):
                with open(self.output, "wb") as old:
                    old.write(OLD_IMAGE)
                result = self.make(*arguments)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertIn(value, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                with open(self.output, "rb") as old:
                    self.assertEqual(old.read(), OLD_IMAGE)
                self.assertEqual(os.listdir(os.path.dirname(self.output)), ["disc.iso"])

    def test_names_windows_cannot_open_are_refused_with_the_path_shown(self):
        # (name in the installer, rule, the path as the message shows it)
        cases = [
            (b"CON.txt", "takes this name for a device", "CON.txt"),
            (b"Data/lpt1", "takes this name for a device", "Data/lpt1"),
            (b"aux.", "takes this name for a device", "aux."),
            (b"readme.", "drops a final dot or space", "readme."),
            (b"notes ", "drops a final dot or space", "notes "),
            (b'say "hi".txt', "cannot open a name that holds '\"'", 'say "hi".txt'),
            (b"a<b>.txt", "cannot open a name that holds '<'", "a<b>.txt"),
            (b"pipe|.txt", "cannot open a name that holds '|'", "pipe|.txt"),
            (b"two\nlines.txt", "may not hold '\\x0A'", "two\\x0Alines.txt"),
            (b"Caf\xe9.txt", "no valid text in the file system's encoding", "Caf\\xE9.txt"),
            ("smile \U0001F600.txt".encode(), "characters of UCS-2 only", "smile \U0001F600.txt"),
        ]
        for name, rule, shown in cases:
            with self.subTest(shown):
                folder = self.installer("named-" + str(cases.index((name, rule, shown))))
                path = os.path.join(os.fsencode(folder), name)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as out:
                    out.write(b"x")
                result = self.make(folder)
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertTrue(result.stderr.rstrip("\n").endswith(": " + shown), result.stderr)
                self.assertFalse(os.path.exists(self.output))

    def test_what_windows_nt_351_may_not_reach_is_warned_and_the_media_named(self):
        folder = self.installer(files=["Setup.exe", "A/B/C/D/E/F/G/H/deep.txt"])
        result = self.make(folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("warning: folder A/B/C/D/E/F/G/H is ISO 9660 level 9, past the 8 levels "
                      "Windows NT 3.51 reads", result.stdout)
        self.assertNotIn("folder A/B/C/D/E/F/G is", result.stdout)
        self.assertRegex(result.stdout.splitlines()[-1],
                         r"^media: \d+ sectors of 2048 bytes: fits a 650 MB CD-R \(333000 sectors\), "
                         r"a 700 MB CD-R \(360000 sectors\) and a 4.7 GB DVD\+R or DVD-R")

    def test_a_tree_no_medium_holds_is_refused_before_anything_is_written(self):
        folder = self.installer("toolarge")
        for name in ("DATA1.CAB", "DATA2.CAB"):
            with open(os.path.join(folder, name), "wb") as data:
                data.truncate(2600 << 20)       # sparse: no disk space taken
        result = self.make(folder)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("the image would not fit a 4.7 GB DVD+R or DVD-R", result.stderr)
        self.assertEqual(os.listdir(os.path.dirname(self.output)), [])

    def test_hostile_trees_give_a_refusal_or_an_image_that_reads_back_whole(self):
        # TARNELL_HOSTILE_TREES=500 for a longer run by hand.
        count = int(os.environ.get("TARNELL_HOSTILE_TREES", "12"))
        alphabet = [b"a", b"Z", b"0", b" ", b".", b"-", b"_", b"~", b"'", b"&", b"#", b"%",
                    b"\xc3\xa9", b"\xe6\x97\xa5", b"\xf0\x9f\x98\x80", b"\xff", b"\n", b"\t",
                    b"\\", b":", b"*", b"?", b"|", b"<", b"\"", b"CON", b"nul", b"COM1", b"LPT9"]
        generator = random.Random(20261209)
        outcomes = {0: 0, 1: 0}
        for number in range(count):
            with self.subTest(tree=number):
                folder = self.installer(f"hostile-{number}")
                for _ in range(generator.randint(1, 6)):
                    depth = generator.randint(0, 3)
                    parts = [b"".join(generator.choice(alphabet) for _ in range(generator.randint(1, 8)))
                             for _ in range(depth + 1)]
                    path = os.path.join(os.fsencode(folder), *parts)
                    try:
                        os.makedirs(os.path.dirname(path), exist_ok=True)
                        with open(path, "wb") as out:
                            out.write(parts[-1])
                    except OSError:
                        pass        # a name this file system cannot hold, or a clash
                if os.path.exists(self.output):
                    os.unlink(self.output)
                result = self.make(folder)
                self.assertNotIn("Traceback", result.stderr)
                outcomes[result.returncode] = outcomes.get(result.returncode, 0) + 1
                if result.returncode == 0:
                    self.assertIn("verified ", result.stdout)
                    iso = pycdlib.PyCdlib()
                    iso.open(self.output)
                    joliet = sum(len(names) for _, _, names in iso.walk(joliet_path="/"))
                    iso.close()
                    on_disk = sum(len(names) for _, _, names in os.walk(folder))
                    self.assertEqual(joliet, on_disk + 2)
                else:
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                    self.assertTrue(result.stderr.startswith("make-disc: refused: "), result.stderr)
                    self.assertFalse(os.path.exists(self.output))
        # The seed makes both kinds of tree.
        self.assertTrue(outcomes[0] and outcomes[1], outcomes)

    def test_a_fault_during_the_run_is_one_line(self):
        folder = self.installer(files=["Setup.exe", "DATA1.CAB"])
        tools = os.path.join(self.work, "tools")
        os.makedirs(tools)
        # (the xorriso the command finds first, what the one line says)
        cases = [
            ("#!/bin/sh\necho 'xorriso : FAILURE : the drive went away' >&2\nexit 5\n",
             "make-disc: refused: xorriso could not write the image: xorriso : FAILURE : the drive went away"),
            (f"#!/bin/sh\nrm -f '{folder}/DATA1.CAB'\nexec /usr/bin/xorriso \"$@\"\n",
             "make-disc: refused: xorriso could not write the image: "),
        ]
        for script, line in cases:
            with self.subTest(line):
                with open(os.path.join(tools, "xorriso"), "w") as tool:
                    tool.write(script)
                os.chmod(os.path.join(tools, "xorriso"), 0o755)
                result = self.make(folder, environment={"PATH": tools + ":" + os.environ["PATH"]})
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith(line), result.stderr)
                if "rm -f" in script:
                    self.assertIn("DATA1.CAB", result.stderr)
                self.assertEqual(os.listdir(os.path.dirname(self.output)), [])

    def test_an_image_that_does_not_hold_its_sources_is_refused(self):
        folder = self.installer(files=["Setup.exe", "DATA1.CAB"])
        tools = os.path.join(self.work, "tools")
        os.makedirs(tools)
        # The real xorriso, and then one byte of DATA1.CAB's data changed
        # in the image it wrote, as a failing disk would.
        with open(os.path.join(tools, "xorriso"), "w") as tool:
            tool.write(CORRUPTING_XORRISO)
        os.chmod(os.path.join(tools, "xorriso"), 0o755)
        result = self.make(folder, environment={"PATH": tools + ":" + os.environ["PATH"]})
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertEqual(result.stderr.splitlines(), [
            f"make-disc: mismatch: /DATA1.CAB: its bytes differ from {folder}/DATA1.CAB",
            "make-disc: refused: the image does not hold what was given: 1 mismatches"])
        self.assertEqual(os.listdir(os.path.dirname(self.output)), [])

    def test_image_holds_the_installer_under_both_names(self):
        folder = self.installer(files=["setup.exe", "Data Files/A long name.txt", "DATA1.CAB"])
        os.symlink("DATA1.CAB", os.path.join(folder, "COPY.CAB"))
        result = self.make(folder, "--label", "My product 2.0")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("not an 8.3 name, Windows NT 3.51 sees it shortened: "
                      "Data Files/A long name.txt is DATA_FIL/A_LONG_N.TXT", result.stdout)
        self.assertIn("folder Data Files", result.stdout)
        self.assertIn("verified 6 files, 1 folder,", result.stdout)
        # The table's CRC-32 of a file is the one gzip records for it.
        row = next(line for line in result.stdout.splitlines() if " /DATA1.CAB " in line)
        self.assertEqual(row.split()[-1], gzip_crc(os.path.join(folder, "DATA1.CAB")))

        iso = pycdlib.PyCdlib()
        iso.open(self.output)
        self.addCleanup(iso.close)
        self.assertEqual(iso.pvd.volume_identifier.decode().rstrip(), "MY_PRODUCT_2_0")
        iso_names = sorted(name for _, _, names in iso.walk(iso_path="/") for name in names)
        joliet_names = sorted(name for _, _, names in iso.walk(joliet_path="/") for name in names)
        self.assertEqual(iso_names, ["AUTORUN.INF;1", "A_LONG_N.TXT;1", "COPY.CAB;1", "DATA1.CAB;1",
                                     "SETUP.EXE;1", "TARNELL.EXE;1"])
        self.assertEqual(joliet_names, ["A long name.txt", "AUTORUN.INF", "COPY.CAB", "DATA1.CAB",
                                        "SETUP.EXE", "TARNELL.EXE"])

    def test_same_inputs_give_the_same_bytes(self):
        first = self.installer("first", ["Setup.exe", "Data/README.TXT"])
        second = os.path.join(self.work, "second")
        shutil.copytree(first, second)
        os.utime(os.path.join(second, "Data", "README.TXT"), (0, 0))
        images = []
        for folder in (first, second):
            result = self.make(folder, environment={"SOURCE_DATE_EPOCH": "946684800"})
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(self.output, "rb") as image:
                images.append(image.read())
        self.assertEqual(images[0], images[1])
        iso = pycdlib.PyCdlib()
        iso.open(self.output)
        self.addCleanup(iso.close)
        self.assertEqual(iso.pvd.volume_creation_date.year, 2000)

    def test_a_brands_label_loses_its_accents(self):
        autorun = os.path.join(self.work, "AUTORUN.INF")
        with open(autorun, "wb") as out:
            out.write(b"[autorun]\r\nopen=TARNELL.EXE\r\nlabel=H\xe9ron 4.2.17\r\n")
        result = self.make(self.installer(), autorun=autorun)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("label HERON_4_2_17;", result.stdout)


def file_on_image(image, path):
    """The bytes of a file of the image, by its Joliet path."""
    iso = pycdlib.PyCdlib()
    iso.open(image)
    try:
        data = io.BytesIO()
        iso.get_file_from_iso_fp(data, joliet_path=path)
        return data.getvalue()
    finally:
        iso.close()


def children_of(pid):
    """The processes whose parent is pid (gone when the command ended its
    steps), read from /proc."""
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if fields[1] == str(pid):
            found.append(int(entry))
    return found


def wait_for_step(process, step, output_folder, limit=600):
    """Waits until the command is in the step: building its launcher (it
    said so), writing the image (xorriso runs on the image's partial
    file), or verifying it (the partial file is there and xorriso has
    ended). The steps of the command run in sessions of their own: they
    are found by their process group's members' command lines."""
    deadline = time.monotonic() + limit
    if step == "build":
        line = process.stdout.readline()
        while line and "building the launcher" not in line:
            line = process.stdout.readline()
        return bool(line)
    while time.monotonic() < deadline:
        partial = [name for name in os.listdir(output_folder) if name.endswith(".partial")]
        writing = any("xorriso" in command_line(pid) for pid in descendants(process.pid))
        if partial and (writing if step == "write" else not writing and
                        os.path.getsize(os.path.join(output_folder, partial[0])) > 0):
            return True
        time.sleep(0.02)
    return False


def command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as source:
            return source.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def descendants(pid):
    below = children_of(pid)
    for child in list(below):
        below += descendants(child)
    return below


class MakeDiscCommand(unittest.TestCase):
    """scripts/make-disc.sh itself, which builds the launcher of a brand."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="make-disc-command-")
        self.addCleanup(shutil.rmtree, self.work)
        self.output = os.path.join(self.work, "out")
        os.makedirs(self.output)

    def command(self, *arguments):
        return subprocess.run([MAKE_DISC, *arguments], capture_output=True, text=True)

    def test_every_text_refusal_is_one_whole_line(self):
        long_word = "W" * 31
        cases = [
            ("--version", "4.2", "the version is three dot-separated decimal numbers, as 2.31.005; "
             "4.2 is written 4.2.0"),
            ("--version", "2.31.0.5", "the version is three dot-separated decimal numbers, as 2.31.005"),
            ("--version", "1.65536.0", "each number of the version is at most 65535"),
            ("--product", "100%", "the product word holds no percent sign: the title is a format text"),
            ("--product", "A\\B", "the product word holds no backslash, which a mutex name may not hold"),
            ("--product", " ", "the product word is empty"),
            ("--product", " Atlas", "the product word has no spaces at its ends"),
            ("--product", "Ωmega", "the text must be printable Windows-1252; 'Ω' is not in it"),
            ("--product", long_word, "the product word and the version take at most 38 characters "
             "together, so that the title of a launcher with an 8.3 name fits its 80-character "
             "buffer; with version 2.31.005 the word takes at most 30"),
            ("--company", "日本", "the text must be printable Windows-1252; '日' is not in it"),
            ("--copyright", "Line\tbreak", "the text must be printable Windows-1252; '\\t' is a "
             "control character"),
            ("--systems", "", "the list names no system"),
            ("--systems", "98,vista,98", "'98' is named twice"),
        ]
        for option, value, rule in cases:
            with self.subTest(option=option, value=value):
                # A product of its own names its company and copyright.
                owner = ["--company", "", "--copyright", ""] if option == "--product" else []
                result = self.command(option, value, *owner,
                                      "--output", os.path.join(self.output, "a.iso"))
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stderr, f"{option}: refused: {rule}: {value!r}\n")
                self.assertNotIn(BUILDING, result.stdout)
                self.assertEqual(os.listdir(self.output), [])

    def test_a_wrong_command_line_is_one_line_and_exit_code_2(self):
        # (arguments, what the one line says)
        cases = [
            (["--previews", "--try"], "make-disc: --previews needs a value"),
            (["--product", "--version", "1.4.2"], "make-disc: --product needs a value"),
            (["--output"], "make-disc: --output needs a value"),
            (["--product", "Atlas", "--copyright", ""], "make-disc: --product needs --company too"),
            (["--product", "Atlas", "--company", "Atlas Ltd."],
             "make-disc: --product needs --copyright too"),
            (["--frobnicate", "x"], "make-disc: no such option: --frobnicate"),
            (["stray"], "make-disc: not an option: stray"),
        ]
        for arguments, line in cases:
            with self.subTest(arguments):
                result = self.command(*arguments)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith(line), result.stderr)
                self.assertFalse(os.path.exists(os.path.join(PROJECT, "--try")))

    def test_signals_end_it_at_once_with_one_line_and_nothing_written(self):
        # A tree large enough that writing and verifying its image take a
        # moment: 600 MB of zeros, which xorriso writes out in full.
        installer = os.path.join(self.work, "installer")
        os.makedirs(installer)
        shutil.copy(os.environ["TARNELL_SETUP"], os.path.join(installer, "Setup.exe"))
        with open(os.path.join(installer, "DATA.CAB"), "wb") as data:
            data.write(bytes(600 << 20))
        output = os.path.join(self.output, "disc.iso")
        # (the step it is in, the signal, sent to the command's whole group)
        cases = [("build", signal.SIGINT, True), ("build", signal.SIGTERM, False),
                 ("write", signal.SIGINT, False), ("verify", signal.SIGTERM, True)]
        for number, (step, sent, group) in enumerate(cases):
            with self.subTest(step=step, signal=sent.name, group=group):
                # A version of its own makes the build start anew.
                command = [MAKE_DISC, "--version", f"2.31.{900 + number}", "--installer", installer,
                           "--output", output]
                process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                           stderr=subprocess.PIPE, text=True,
                                           start_new_session=True)
                self.assertTrue(wait_for_step(process, step, self.output), step)
                (os.killpg if group else os.kill)(process.pid, sent)
                try:
                    _, errors = process.communicate(timeout=20)
                except subprocess.TimeoutExpired:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.communicate()
                    self.fail(f"still running 20 s after {sent.name}")
                code = 130 if sent == signal.SIGINT else 143
                self.assertEqual(process.returncode, code, errors)
                self.assertEqual(errors.splitlines()[-1:], ["make-disc: interrupted; nothing written"],
                                 errors)
                self.assertNotIn("Traceback", errors)
                self.assertEqual(os.listdir(self.output), [])
                self.assertEqual(children_of(process.pid), [])

    def test_the_default_label_fits_what_windows_shows_and_every_warning_counts(self):
        cases = [
            # (the AUTORUN.INF label, --label, the label, warnings)
            ("H\xe9ron Atlas 1.4.2", None, "HERON_ATLAS", 0),
            ("KELMORA 2.31.005", None, "KELMORA_2_31_005", 0),
            ("KELMORA 2.31.005", "A long label of twenty", "A_LONG_LABEL_OF_TWENTY", 2),
        ]
        for autorun_label, label, expected, warnings in cases:
            with self.subTest(expected):
                autorun = os.path.join(self.work, "AUTORUN.INF")
                with open(autorun, "wb") as out:
                    out.write(b"[autorun]\r\nopen=TARNELL.EXE\r\nlabel=" +
                              autorun_label.encode("latin-1") + b"\r\n")
                installer = os.path.join(self.work, "labels")
                shutil.rmtree(installer, ignore_errors=True)
                os.makedirs(installer)
                shutil.copy(os.environ["TARNELL_SETUP"], os.path.join(installer, "Setup.exe"))
                # A name NT 3.51 sees shortened: a second warning.
                if warnings:
                    open(os.path.join(installer, "long name.txt"), "w").close()
                result = subprocess.run(
                    ["/usr/bin/python3", MAKE_IMAGE, "make", *(["--label", label] if label else []),
                     os.environ["TARNELL_LAUNCHER"], autorun, installer,
                     os.path.join(self.output, "label.iso")], capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(f"label {expected}; {warnings} warning", result.stdout)
                self.assertEqual(result.stdout.count("warning: "), warnings)

    def test_arguments_are_checked_before_anything_is_built(self):
        installer = os.path.join(self.work, "installer")
        os.makedirs(installer)
        shutil.copy(os.environ["TARNELL_SETUP"], os.path.join(installer, "Setup.exe"))
        setup = os.path.join(installer, "Setup.exe")
        cases = [
            (["--installer", setup], f"make-disc: refused: the installer is a file, not the folder "
             f"that holds Setup.exe: {setup}"),
            (["--installer", installer, "--output", os.path.join(installer, "disc.iso")],
             "make-disc: refused: the output may not lie inside the installer folder: "
             + os.path.join(installer, "disc.iso")),
            (["--output", os.path.join(self.work, "nowhere", "disc.iso")],
             "make-disc: refused: the output's folder does not exist: " + os.path.join(self.work, "nowhere")),
            (["--label", "Kelmora & Co"], "make-disc: refused: a volume label holds only letters, "
             "digits, spaces, hyphens, dots and underscores; '&' has no ISO 9660 form: 'Kelmora & Co'"),
        ]
        for arguments, refusal in cases:
            with self.subTest(arguments[-1]):
                result = self.command(*arguments)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stderr, refusal + "\n")
                self.assertNotIn(BUILDING, result.stdout)
        self.assertEqual(sorted(os.listdir(installer)), ["Setup.exe"])

    def test_a_brand_builds_its_image_and_speaks_only_of_the_pictures_given(self):
        example = os.path.join(PROJECT, "brand", "example")
        previews = os.path.join(self.work, "previews")
        result = self.command("--product", "Héron", "--version", "4.2.17", "--systems", "98,xp,7,10",
                              "--company", "Héron Cartography Ltd.", "--copyright", "",
                              "--splash", os.path.join(example, "heron-splash.jpg"),
                              "--icon", os.path.join(example, "heron-icon.png"),
                              "--previews", previews)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("--splash: 1180 x 740 scaled to", result.stdout)
        self.assertIn("--icon: ", result.stdout)
        self.assertIn("label HERON_4_2_17;", result.stdout)
        self.assertIn(os.path.join(PROJECT, "build", "disc", "heron.iso"), result.stdout)
        # The launcher on the disc carries its list in its version block,
        # the company given, and no copyright line, which was given empty.
        program = file_on_image(os.path.join(PROJECT, "build", "disc", "heron.iso"), "/TARNELL.EXE")
        self.assertIn("98,xp,7,10".encode("utf-16-le"), program)
        self.assertIn("Héron Cartography Ltd.".encode("utf-16-le"), program)
        self.assertNotIn("LegalCopyright".encode("utf-16-le"), program)
        self.assertNotIn("Kelmora".encode("utf-16-le"), program)
        self.assertEqual(sorted(os.listdir(previews)),
                         ["icon.png", "splash-after-colour-change.png", "splash.png"])

        # Back to the committed art, which the converters take as it is:
        # the publisher asked nothing about it, so nothing is said.
        output = os.path.join(self.output, "kelmora.iso")
        result = self.command("--output", output)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("label KELMORA_2_31_005;", result.stdout)
        self.assertNotIn("--splash", result.stdout)
        self.assertNotIn("--icon", result.stdout)
        self.assertTrue(os.path.isfile(output))

        # The languages are brand settings too, checked by the brand tool.
        own = os.path.join(self.work, "de.txt")
        with open(own, "w", encoding="utf-8") as out:
            out.write("dont-install = Jetzt nicht installieren\n")
        for options, refusal in ((["--languages", "de,el"], "--languages: refused: Greek (el)"),
                                 (["--languages", "de", "--language-file", f"de={own}"],
                                  "--language-file de dont-install: refused: the text is 100 pixels wide")):
            with self.subTest(options=options):
                result = self.command(*options, "--output", os.path.join(self.output, "de.iso"))
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(refusal, result.stderr)
                self.assertEqual(os.listdir(self.output), ["kelmora.iso"])


class Names(unittest.TestCase):
    def test_the_file_name_and_the_label_are_made_by_one_rule(self):
        # (product word, version, the image's file name, the label): the
        # label is the word and the version where both fit the 16
        # characters Windows shows, else the word.
        cases = [("KELMORA", "2.31.005", "kelmora", "KELMORA_2_31_005"),
                 ("Héron", "4.2.17", "heron", "HERON_4_2_17"),
                 ("Héron Atlas", "1.4.2", "heron-atlas", "HERON_ATLAS"),
                 ("Straße Æon", "1.0.0", "strasse-aeon", "STRASSE_AEON"),
                 ("Ölfeld & Söhne GmbH", "10.20.30", "olfeld-sohne-gmbh", "OLFELD_SOHNE_GMB"),
                 ("100%", "1.0.0", "100", "100_1_0_0")]
        for product, version, stem, label in cases:
            with self.subTest(product):
                self.assertEqual(disc_names(product, version), (stem, label))

    def test_autorun_inf_in_the_launchers_code_page(self):
        self.assertEqual(autorun_inf('Héron "Atlas"', "65535.0.017"),
                         b"[autorun]\r\nopen=TARNELL.EXE\r\nicon=TARNELL.EXE,0\r\n"
                         b"label=H\xe9ron \"Atlas\" 65535.0.017\r\n"
                         b"action=Install H\xe9ron \"Atlas\"\r\n")


def splash_resource(program):
    """The launcher's splash bitmap resource (a BMP without its file header)."""
    launcher = pefile.PE(data=program)
    for kind in launcher.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == pefile.RESOURCE_TYPE["RT_BITMAP"]:
            for entry in kind.directory.entries:
                if str(entry.name) == LAUNCHER.splash_resource:
                    data = entry.directory.entries[0].data.struct
                    return launcher.get_data(data.OffsetToData, data.Size)
    return None


class MakeDiscFunction(unittest.TestCase):
    """The disc command as a function, as the designer calls it: options
    in, what it does reported as it goes, a result or one refusal out."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="make-disc-function-")
        self.addCleanup(shutil.rmtree, self.work)

    def test_a_product_of_its_own_gets_its_own_splash_and_its_steps_are_reported(self):
        events = []
        output = os.path.join(self.work, "atlas.iso")
        result = make_disc(DiscOptions(product="Heron Atlas", version="1.4.2",
                                       company="Heron Cartography Ltd.", copyright="",
                                       output=output, previews=os.path.join(self.work, "p")),
                           lambda kind, text, fraction=None: events.append((kind, text, fraction)))
        self.assertEqual((result.image.output, result.image.label), (output, "HERON_ATLAS"))
        self.assertIn(("step", "building the launcher in build/disc", None), events)
        done = {text: fraction for kind, text, fraction in events if kind == "progress"}
        self.assertEqual(done, {"make-disc: writing the image": 1.0,
                                "make-disc: verifying the image": 1.0})
        self.assertEqual(sorted(result.previews), sorted(os.listdir(os.path.join(self.work, "p"))))
        # Its splash is drawn for it, and not KELMORA's: the launcher on
        # the disc carries the picture the brand tool draws for its word
        # and version.
        drawn = os.path.join(self.work, "drawn.bmp")
        subprocess.run(["/usr/bin/python3", os.path.join(PROJECT, "brand", "art", "make_splash.py"),
                        "--draw", "--product", "Heron Atlas", "--version", "1.4.2", drawn],
                       check=True, capture_output=True)
        with open(drawn, "rb") as source, open(os.path.join(PROJECT, "brand", "kelmora",
                                                             "tarnell.bmp"), "rb") as kelmora:
            drawn_bitmap, kelmora_bitmap = source.read()[14:], kelmora.read()[14:]
        carried = splash_resource(file_on_image(output, "/TARNELL.EXE"))
        self.assertEqual(carried, drawn_bitmap)
        self.assertNotEqual(carried, kelmora_bitmap)

    def test_a_refusal_is_raised_before_anything_is_built(self):
        events = []
        with self.assertRaises(Refusal) as refusal:
            make_disc(DiscOptions(version="4.2", output=os.path.join(self.work, "a.iso")),
                      lambda *event: events.append(event))
        self.assertIn("the version is three dot-separated decimal numbers",
                      str(refusal.exception))
        self.assertEqual(refusal.exception.setting, "--version")
        self.assertEqual(events, [])
        self.assertEqual(os.listdir(self.work), [])


class PasswordWatch:
    """Looks, while a command runs, at every process's command line for a
    secret, which none may show."""

    def __init__(self, secret):
        self.secret, self.seen, self.running = secret.encode(), [], True
        self.thread = threading.Thread(target=self.watch, daemon=True)
        self.thread.start()

    def watch(self):
        while self.running:
            for pid in os.listdir("/proc"):
                if pid.isdigit() and self.secret in command_line(pid).encode():
                    self.seen.append(command_line(pid))
            time.sleep(0.01)

    def stop(self):
        self.running = False
        self.thread.join()
        return self.seen


class Signing(unittest.TestCase):
    """--sign: the launcher signed with the publisher's certificate, made
    here with an authority of the tests' own."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="make-disc-signing-")
        cls.certificates = Certificates(cls.work)
        cls.password_file = os.path.join(cls.work, "password.txt")
        with open(cls.password_file, "w") as out:
            out.write(PASSWORD + "\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def setUp(self):
        self.output = os.path.join(self.work, "out")
        shutil.rmtree(self.output, ignore_errors=True)
        os.makedirs(self.output)

    def command(self, *arguments, password=None, epoch=None):
        environment = dict(os.environ)
        environment.pop("TARNELL_SIGN_PASSWORD", None)
        if password is not None:
            environment["TARNELL_SIGN_PASSWORD"] = password
        if epoch is not None:
            environment["SOURCE_DATE_EPOCH"] = str(epoch)
        watch = PasswordWatch(PASSWORD)
        result = subprocess.run([MAKE_DISC, "--product", "Heron Atlas", "--version", "1.4.2",
                                 "--company", PUBLISHER, "--copyright", "", *arguments],
                                capture_output=True, text=True, env=environment)
        self.assertEqual(watch.stop(), [], "the password was on a command line")
        self.assertNotIn(PASSWORD, result.stdout + result.stderr)
        return result

    def test_every_bad_certificate_or_password_is_one_line_and_no_image(self):
        # (certificate file, password: through the file or the variable,
        # what the one line says)
        cases = [("good.p12", ("file", "wrong password"), "the password does not open"),
                 ("good.p12", ("variable", "wrong password"), "the password does not open"),
                 ("good.p12", None, "(none was given: --sign-password-file or TARNELL_SIGN_PASSWORD)"),
                 ("expired.p12", ("variable", PASSWORD), "the certificate has expired"),
                 ("future.p12", ("file", PASSWORD), "the certificate is not valid yet"),
                 ("server.p12", ("file", PASSWORD),
                  "not made for code signing (no code-signing extended key usage)"),
                 ("mismatch.p12", ("file", PASSWORD), "the key in the certificate file is not "
                                                      "the certificate's"),
                 ("notes.p12", ("file", PASSWORD), "is no PKCS#12 file")]
        for file, given, rule in cases:
            with self.subTest(file=file, given=given):
                arguments, password = ["--sign", self.certificates.path(file)], None
                if given and given[0] == "file":
                    written = os.path.join(self.work, "given.txt")
                    with open(written, "w") as out:
                        out.write(given[1] + "\n")
                    arguments += ["--sign-password-file", written]
                elif given:
                    password = given[1]
                result = self.command(*arguments, "--output", os.path.join(self.output, "a.iso"),
                                      password=password)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith("--sign: refused: "), result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertNotIn(BUILDING, result.stdout)
                self.assertEqual(os.listdir(self.output), [])

    def test_a_signed_launcher_verifies_against_its_authority_with_the_same_bytes_twice(self):
        epoch = int(time.time()) - 3600
        images = []
        for name in ("a.iso", "b.iso"):
            image = os.path.join(self.output, name)
            result = self.command("--sign", self.certificates.path("good.p12"),
                                  "--sign-password-file", self.password_file, "--output", image,
                                  epoch=epoch)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertRegex(result.stdout, rf"signed: {PUBLISHER}, SHA-256, the signature adds "
                                            r"\d+ bytes")
            self.assertIn("warning: the signature has no timestamp: it is trusted only while the "
                          "certificate is valid", result.stdout)
            self.assertIn("; 1 warning;", result.stdout)
            with open(image, "rb") as source:
                images.append(source.read())
        self.assertEqual(images[0], images[1])
        launcher = os.path.join(self.work, "TARNELL.EXE")
        with open(launcher, "wb") as out:
            out.write(file_on_image(os.path.join(self.output, "a.iso"), "/TARNELL.EXE"))
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile",
                                   self.certificates.path("authority.pem"), "-in", launcher],
                                  capture_output=True, text=True)
        self.assertIn("Signature verification: ok", verified.stdout)
        self.assertIn(f"Subject: /CN={PUBLISHER}", verified.stdout)
        self.assertIn(f"Issuer : /CN={AUTHORITY}", verified.stdout)
        self.assertEqual(file_on_image(os.path.join(self.output, "a.iso"), "/AUTORUN.INF"),
                         b"[autorun]\r\nopen=TARNELL.EXE\r\nicon=TARNELL.EXE,0\r\n"
                         b"label=Heron Atlas 1.4.2\r\naction=Install Heron Atlas\r\n")
        # Nothing of the build holds the password.
        for here, _, files in os.walk(os.path.join(PROJECT, "build", "disc")):
            for file in files:
                path = os.path.join(here, file)
                if os.path.getsize(path) < (16 << 20):
                    with open(path, "rb") as source:
                        self.assertNotIn(PASSWORD.encode(), source.read(), path)

    def test_a_timestamp_from_the_server_given_or_one_line_when_none_answers(self):
        server = TimestampServer(self.work).start()
        self.addCleanup(server.stop)
        image = os.path.join(self.output, "stamped.iso")
        result = self.command("--sign", self.certificates.path("good.p12"), "--timestamp",
                              server.url, "--output", image, password=PASSWORD)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertGreaterEqual(server.answered, 1)
        self.assertNotIn("no timestamp", result.stdout)
        launcher = os.path.join(self.work, "STAMPED.EXE")
        with open(launcher, "wb") as out:
            out.write(file_on_image(image, "/TARNELL.EXE"))
        authority = self.certificates.path("authority.pem")
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile", authority, "-TSA-CAfile",
                                   authority, "-in", launcher], capture_output=True, text=True)
        self.assertIn("Timestamp Server Signature verification: ok", verified.stdout)
        # A server that does not answer: one line, and no image.
        result = self.command("--sign", self.certificates.path("good.p12"), "--timestamp",
                              "http://127.0.0.1:9/", "--output",
                              os.path.join(self.output, "none.iso"), password=PASSWORD)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr.splitlines(), ["--timestamp: refused: the timestamp server "
                                                      "could not be reached or gave no timestamp: "
                                                      "http://127.0.0.1:9/"])
        self.assertEqual(os.listdir(self.output), ["stamped.iso"])

    def test_autoplay_words_the_choice_and_is_checked_as_the_texts_are(self):
        image = os.path.join(self.output, "words.iso")
        result = self.command("--autoplay-text", "Heron Atlas einrichten", "--label", "Heron 1.4",
                              "--output", image)
        self.assertEqual(result.returncode, 0, result.stderr)
        autorun = file_on_image(image, "/AUTORUN.INF")
        self.assertIn(b"\r\naction=Heron Atlas einrichten\r\n", autorun)
        self.assertIn(b"\r\nlabel=Heron 1.4\r\n", autorun)
        for text, rule in (("Install Ωmega", "'Ω' is not in it"),
                           ("", "the AutoPlay text is empty"),
                           ("x" * 128, "at most 127 characters")):
            with self.subTest(text=text):
                result = self.command("--autoplay-text", text, "--output",
                                      os.path.join(self.output, "refused.iso"))
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith("--autoplay-text: refused: "))
                self.assertIn(rule, result.stderr)
        self.assertEqual(os.listdir(self.output), ["words.iso"])


if __name__ == "__main__":
    unittest.main()
