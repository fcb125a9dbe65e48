#!/usr/bin/python3
"""The disc image command run as a publisher runs it: refusals that name the
rule and the value and leave nothing behind, an image already at the
output kept whole after a refusal, 8.3 warnings, and the same bytes from
the same inputs.

The launcher, AUTORUN.INF and the stand-in installer come from the build:
TARNELL_LAUNCHER, TARNELL_AUTORUN and TARNELL_SETUP."""
import os
import shutil
import subprocess
import tempfile
import unittest

import pycdlib

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_DISC = os.path.join(HERE, "..", "..", "scripts", "make_disc.py")
OLD_IMAGE = b"an image from an earlier run"


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

    def make(self, *arguments, environment=None):
        command = ["/usr/bin/python3", MAKE_DISC, "--launcher", os.environ["TARNELL_LAUNCHER"],
                   "--autorun", os.environ["TARNELL_AUTORUN"], "--output", self.output, *arguments]
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
            ("label too long", [good, "--label", "A" * 33], "at most 32 characters", "A" * 33),
            ("label with &", [good, "--label", "Kelmora & Co"], "'&' has no ISO 9660 form", "Kelmora & Co"),
        ]
        for name, arguments, rule, value in cases:
            with self.subTest(name):
                with open(self.output, "wb") as old:
                    old.write(OLD_IMAGE)
                result = self.make("--installer", *arguments)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertIn(value, result.stderr)
                with open(self.output, "rb") as old:
                    self.assertEqual(old.read(), OLD_IMAGE)
                self.assertEqual(os.listdir(os.path.dirname(self.output)), ["disc.iso"])

    def test_image_holds_the_installer_under_both_names(self):
        folder = self.installer(files=["setup.exe", "Data Files/A long name.txt", "DATA1.CAB"])
        os.symlink("DATA1.CAB", os.path.join(folder, "COPY.CAB"))
        result = self.make("--installer", folder, "--label", "My product 2.0")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("not an 8.3 name, Windows NT 3.51 sees it shortened: "
                      "Data Files/A long name.txt is DATA_FIL/A_LONG_N.TXT", result.stdout)
        self.assertIn("folder Data Files", result.stdout)
        self.assertIn("verified 6 files, 1 folder,", result.stdout)

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
            result = self.make("--installer", folder, environment={"SOURCE_DATE_EPOCH": "946684800"})
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(self.output, "rb") as image:
                images.append(image.read())
        self.assertEqual(images[0], images[1])
        iso = pycdlib.PyCdlib()
        iso.open(self.output)
        self.addCleanup(iso.close)
        self.assertEqual(iso.pvd.volume_creation_date.year, 2000)

    def test_a_brands_label_loses_its_accents_and_a_refused_brand_builds_nothing(self):
        autorun = os.path.join(self.work, "AUTORUN.INF")
        with open(autorun, "wb") as out:
            out.write(b"[autorun]\r\nopen=TARNELL.EXE\r\nlabel=H\xe9ron 4.2.17\r\n")
        environment = dict(os.environ, TARNELL_AUTORUN=autorun)
        result = subprocess.run(["/usr/bin/python3", MAKE_DISC, "--launcher", os.environ["TARNELL_LAUNCHER"],
                                 "--autorun", autorun, "--installer", self.installer(),
                                 "--output", self.output], capture_output=True, text=True, env=environment)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("label HERON_4_2_17;", result.stdout)
        os.unlink(self.output)

        # Without a built launcher the command builds one of the brand: a
        # refused text stops it before anything is built or written.
        result = subprocess.run(["/usr/bin/python3", MAKE_DISC, "--installer", self.installer(),
                                 "--version", "2.31", "--output", self.output],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("--version: refused: the version is three dot-separated decimal numbers",
                      " ".join(result.stderr.split()))
        self.assertEqual(os.listdir(os.path.dirname(self.output)), [])

        # The languages are brand settings too, checked by the brand tool.
        own = os.path.join(self.work, "de.txt")
        with open(own, "w", encoding="utf-8") as out:
            out.write("dont-install = Jetzt nicht installieren\n")
        for options, refusal in ((["--languages", "de,el"], "--languages: refused: Greek (el)"),
                                 (["--languages", "de", "--language-file", f"de={own}"],
                                  "--language-file de dont-install: refused: the text is 100 pixels wide")):
            result = subprocess.run(["/usr/bin/python3", MAKE_DISC, "--installer", self.installer(),
                                     *options, "--output", self.output], capture_output=True, text=True)
            self.assertEqual(result.returncode, 1)
            self.assertIn(refusal, " ".join(result.stderr.split()))
            self.assertEqual(os.listdir(os.path.dirname(self.output)), [])


if __name__ == "__main__":
    unittest.main()
