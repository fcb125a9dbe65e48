#!/usr/bin/python3
"""The disc trial as a publisher runs it, on images made here with
xorriso as another tool would make them: the sample disc on every
version (where 32-bit code runs natively; under emulation one accepted
and one refused version), a disc whose SETUP.EXE is missing, a disc whose
program shows nothing, and the refusals of bad input."""
import os
import shutil
import subprocess
import tempfile
import unittest

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
TRY_DISC = os.path.join(PROJECT, "disc", "try_disc.py")
PYTHON = "/usr/bin/python3"
EMULATED = os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386")
AUTORUN = b"[autorun]\r\nopen=TARNELL.EXE\r\nicon=TARNELL.EXE,0\r\nlabel=KELMORA 2.31.005\r\n"
ALL_VERSIONS = ["win95", "win98", "winme", "nt351", "nt40", "win2k", "winxp", "win31",
                "win2003", "vista", "win10"]


def environment(name):
    """A setting CTest gives; without it the trial cannot run, and that
    is a failure, not a pass."""
    value = os.environ.get(name)
    if not value:
        raise AssertionError(f"{name} is not set: run through CTest")
    return value


class Trial(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.driver = environment("TARNELL_TRIAL_DRIVER")
        cls.prefix = environment("TARNELL_TRIAL_PREFIX")
        cls.launcher = environment("TARNELL_LAUNCHER")
        cls.quiet_launcher = environment("TARNELL_QUIET_LAUNCHER")
        cls.setup = environment("TARNELL_SETUP")
        cls.work = tempfile.mkdtemp(prefix="try-disc-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def image(self, name, files):
        """An image made with xorriso from {name on the disc: bytes or a
        file to copy}."""
        tree = os.path.join(self.work, name + "-tree")
        os.makedirs(tree)
        for disc_name, content in files.items():
            target = os.path.join(tree, disc_name)
            if isinstance(content, bytes):
                with open(target, "wb") as out:
                    out.write(content)
            else:
                shutil.copyfile(content, target)
        image = os.path.join(self.work, name + ".iso")
        subprocess.run(["xorriso", "-as", "mkisofs", "-quiet", "-J", "-V", name.upper(),
                        "-o", image, tree], check=True, capture_output=True)
        return image

    def trial(self, image, *options):
        return subprocess.run([PYTHON, TRY_DISC, "--driver", self.driver, "--prefix", self.prefix,
                               image, *options], capture_output=True, text=True)

    def test_the_sample_disc_keeps_every_promise(self):
        image = self.image("sample", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.launcher,
                                      "SETUP.EXE": self.setup})
        versions = ["win98", "vista"] if EMULATED else ALL_VERSIONS
        output = os.path.join(self.work, "sample-try")
        result = self.trial(image, "--output", output, "--versions", ",".join(versions))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn(f"{len(versions)} versions: {len(versions)} as promised, 0 fell short",
                      result.stdout)
        with open(os.path.join(output, "report.txt"), encoding="utf-8") as report:
            lines = report.read().splitlines()
        rows = {line.split("  ")[0]: line for line in lines[1:-1]}
        if not EMULATED:
            self.assertIn("ISO 9660", rows["Windows NT 3.51"])
            self.assertIn("Joliet", rows["Windows XP"])
            self.assertIn('window " KELMORA CD-ROM Autorun Program (Tarnell.exe v2.31.005)"',
                          rows["Win32s"])
        self.assertIn("started from the drive", rows["Windows 98"])
        self.assertIn('"Tarnell.exe Error Information": "Unsupported Operating System"',
                      rows["Windows Vista"])
        # The pictures are what the screen showed: the launcher's window
        # (630 x 427 with its frame) and the refusal's box.
        self.assertEqual(Image.open(os.path.join(output, "win98.png")).size, (630, 427))
        box = Image.open(os.path.join(output, "vista.png"))
        self.assertLess(box.size[0], 630)
        self.assertTrue(os.path.isfile(os.path.join(output, "sheet.png")))
        self.assertEqual(sorted(os.listdir(output)),
                         sorted([v + ".png" for v in versions] + ["sheet.png", "report.txt"]))

    def test_a_disc_without_its_setup_falls_short_on_the_accepting_versions(self):
        image = self.image("nosetup", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.launcher})
        result = self.trial(image, "--output", os.path.join(self.work, "nosetup-try"),
                            "--versions", "win2k,win10")
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn("Start Install started nothing", result.stdout)
        self.assertIn("2 versions: 1 as promised, 1 fell short (Windows 2000)", result.stdout)

    def test_a_disc_whose_program_shows_nothing_falls_short(self):
        image = self.image("quiet", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.quiet_launcher,
                                     "SETUP.EXE": self.setup})
        result = self.trial(image, "--output", os.path.join(self.work, "quiet-try"),
                            "--versions", "winxp")
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn("should show its window but showed nothing (exit code 0)", result.stdout)
        self.assertIn("fell short (Windows XP)", result.stdout)

    def test_refusals(self):
        text = os.path.join(self.work, "notes.iso")
        with open(text, "w") as out:
            out.write("not a disc\n" * 10000)
        whole = self.image("whole", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.launcher,
                                     "SETUP.EXE": self.setup})
        truncated = os.path.join(self.work, "truncated.iso")
        with open(whole, "rb") as source, open(truncated, "wb") as out:
            out.write(source.read()[:100 * 2048])
        no_autorun = self.image("noautorun", {"TARNELL.EXE": self.launcher})
        holder = os.path.join(self.work, "holder")
        os.makedirs(holder)
        held = shutil.copy(whole, holder)
        cases = [
            (text, [], 1, "not an ISO 9660 image"),
            (truncated, [], 1, "the image is truncated: it holds 204800 of its"),
            (os.path.join(self.work, "missing.iso"), [], 1, "the image does not exist"),
            (held, ["--output", holder], 1, "the output folder is replaced whole, and it holds the image"),
            (held, ["--output", text], 1, "the output is a folder, and this is a file"),
            (whole, ["--versions", "win95,os2"], 1, "--versions: the versions are win95"),
            (whole, ["--frobnicate"], 2, "unrecognized arguments"),
            (no_autorun, ["--versions", "winxp"], 1, "no AUTORUN.INF in the root"),
        ]
        for image, options, code, message in cases:
            with self.subTest(message=message):
                output = os.path.join(self.work, "refused-try")
                result = self.trial(image, *(options or ["--output", output]))
                self.assertEqual(result.returncode, code, result.stdout + result.stderr)
                self.assertIn(message, result.stdout + result.stderr)
                self.assertNotIn("Traceback", result.stderr)
                if code == 1 and "AUTORUN" not in message:
                    self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                    self.assertFalse(os.path.exists(output))
        self.assertEqual(sorted(os.listdir(holder)), ["whole.iso"])


if __name__ == "__main__":
    unittest.main()
