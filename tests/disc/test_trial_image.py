#!/usr/bin/python3
"""The disc trial's reading of images that would make a reader loop or
swell, made here with xorriso and damaged in place: each is refused with
its rule and value, in one line, exit code 1, before anything is
extracted and within seconds; and pycdlib's own walk of an image that
loops is stopped by the bounds of the process that opens it first. The
trial refuses these before it needs Wine, so this runs on the host,
once."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
TRY_DISC = os.path.join(PROJECT, "disc", "try_disc.py")
PYTHON = "/usr/bin/python3"
sys.path.insert(0, PROJECT)
sys.path.insert(0, os.path.join(PROJECT, "disc"))
from discimages import extent, length, make_image, records, root_record, set_record  # noqa: E402
from disctrial import image as trial_image  # noqa: E402
from hostlib import Refusal  # noqa: E402

AUTORUN = b"[autorun]\r\nopen=SETUP.EXE\r\n"
# A refusal comes from reading the image alone: well within this.
REFUSAL_SECONDS = 30


class Images(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="trial-image-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def image(self, name, files, rock_ridge=True):
        """The bytes of an image made from the files, to be damaged."""
        tree = os.path.join(self.work, name + "-tree")
        shutil.rmtree(tree, ignore_errors=True)
        path = make_image(os.path.join(self.work, name + ".iso"), tree,
                          dict(files, **{"AUTORUN.INF": AUTORUN}), rock_ridge=rock_ridge)
        with open(path, "rb") as source:
            return bytearray(source.read())

    def write(self, name, data):
        path = os.path.join(self.work, name + ".iso")
        with open(path, "wb") as out:
            out.write(data)
        return path

    def refused(self, path):
        """Runs the trial on the image; its result, once it checked that it
        refused in time, in one line, with nothing written."""
        output = os.path.join(self.work, "output")
        shutil.rmtree(output, ignore_errors=True)
        started = time.monotonic()
        result = subprocess.run([PYTHON, TRY_DISC, "--driver", "-", "--prefix", "-",
                                 "--output", output, path],
                                capture_output=True, text=True, timeout=300)
        self.assertLess(time.monotonic() - started, REFUSAL_SECONDS)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertTrue(result.stderr.startswith("try-disc: refused: "), result.stderr)
        self.assertNotIn("starting", result.stdout)
        self.assertFalse(os.path.exists(output))
        return result.stderr.strip()

    def test_records_that_share_one_extent_count_once_each(self):
        files = {"BIG.BIN": b"\x5a" * (1 << 20)}
        files.update({f"F{i:03d}.TXT": b"x" for i in range(300)})
        data = self.image("expanding", files)
        (big, _), = [r for r in records(data, "BIG.BIN") if r[1] == records(data, "BIG.BIN")[0][1]]
        for i in range(300):
            for record, _ in records(data, f"F{i:03d}.TXT"):
                set_record(data, record, extent(data, big), 1 << 20)
        line = self.refused(self.write("expanding", data))
        self.assertIn("the image is damaged: the files of its ISO 9660 tree would take "
                      f"{(301 << 20) + len(AUTORUN)} bytes, more than the image's {len(data)}",
                      line)

    def test_a_folder_that_holds_itself_or_one_above_it_is_refused(self):
        files = {"SUB/INNER/DEEPEST/A.TXT": b"a", "OTHER/B.TXT": b"b"}

        def holds(folder, target):
            """The image with folder's records (in both trees) naming the
            folder target names in the same tree, or the root for None."""
            data = self.image("loop", files)
            for record, descriptor in records(data, folder):
                if target is None:
                    goal = root_record(data, descriptor)
                else:
                    goal = next(r for r, d in records(data, target) if d == descriptor)
                set_record(data, record, extent(data, goal), length(data, goal))
            return data

        # (the damage, the rule, the folder the message names)
        cases = [(holds("SUB", None), "holds itself or a folder above it", ": SUB"),
                 # INNER's record of DEEPEST names INNER itself.
                 (holds("DEEPEST", "INNER"), "holds itself or a folder above it",
                  ": SUB/INNER/DEEPEST"),
                 (holds("DEEPEST", "SUB"), "holds itself or a folder above it",
                  ": SUB/INNER/DEEPEST"),
                 (holds("OTHER", "INNER"), "is recorded twice", "")]
        for data, rule, where in cases:
            with self.subTest(rule=rule, where=where):
                line = self.refused(self.write("loop", data))
                self.assertIn("the image is damaged: a folder of its ISO 9660 tree " + rule, line)
                self.assertTrue(line.endswith(where), line)

    def test_a_tree_nested_too_deep_is_refused(self):
        data = self.image("deep", {"/".join(["D"] * 70) + "/F.TXT": b"f"})
        line = self.refused(self.write("deep", data))
        self.assertIn("is nested deeper than 64 folders", line)

    def test_the_reader_that_loops_is_stopped_by_its_bounds(self):
        """The folder that holds the root, with the root's length, in an
        image without Rock Ridge (whose root entry pycdlib would refuse at
        once in a folder), so that pycdlib walks it: the trial's own walk
        refuses it first, and pycdlib, given it alone in the probe, is
        stopped by the probe's limits rather than taking the machine's
        memory."""
        data = self.image("reader", {"SUB/A.TXT": b"a"}, rock_ridge=False)
        for record, descriptor in records(data, "SUB"):
            root = root_record(data, descriptor)
            set_record(data, record, extent(data, root), length(data, root))
        path = self.write("reader", data)
        self.assertIn("holds itself or a folder above it", self.refused(path))
        started = time.monotonic()
        with self.assertRaises(Refusal) as refusal:
            trial_image.probe(path)
        self.assertIn("cannot be read within", str(refusal.exception))
        self.assertLess(time.monotonic() - started, 3 * trial_image.PROBE_SECONDS)


if __name__ == "__main__":
    unittest.main()
