#!/usr/bin/python3
"""The disc trial's verdicts follow the systems the launcher on the disc
lists: read from the version block of a launcher built with a list
(TARNELL_SYSTEMS_LAUNCHER, 98, xp, 7 and 10) and of one built without
(TARNELL_LAUNCHER, which accepts 95 to XP and Win32s). Host-side: the
verdict of what a version showed, without Wine."""
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(PROJECT, "disc"))
sys.path.insert(0, PROJECT)
from disctrial.verdict import VERSIONS, Outcome, launcher_systems, verdict  # noqa: E402

DRIVE = "R"
# On XP a second copy is started beside the first, and refused.
WINDOW = {"appeared": "window", "title": "x", "started": f"{DRIVE}:\\SETUP.EXE",
          "second_text": "Only one instance of this program allowed!"}
REFUSED = {"appeared": "box", "caption": "Tarnell.exe Error Information",
           "text": "Unsupported Operating System"}


def program(variable):
    path = os.environ.get(variable)
    if not path:
        raise AssertionError(f"{variable} is not set: run through CTest")
    with open(path, "rb") as source:
        return source.read()


class Verdicts(unittest.TestCase):
    def test_each_version_is_judged_by_the_launchers_list(self):
        listed = launcher_systems(program("TARNELL_SYSTEMS_LAUNCHER"))
        self.assertEqual(listed, {"98", "xp", "7", "10"})
        self.assertIsNone(launcher_systems(program("TARNELL_LAUNCHER")))
        # The trial's version, whether a launcher without a list accepts
        # it, whether the listed one does.
        cases = [("win95", True, False), ("win98", True, True), ("nt351", True, False),
                 ("winxp", True, True), ("win31", True, False), ("win2003", False, False),
                 ("win7", False, True), ("win2008r2", False, False), ("win8", False, False),
                 ("win81", False, False), ("win10", False, True)]
        by_name = {version.wine_name: version for version in VERSIONS}
        for wine_name, by_default, by_list in cases:
            version = by_name[wine_name]
            for systems, accepted in ((None, by_default), (listed, by_list)):
                with self.subTest(version=wine_name, listed=systems is not None):
                    for facts, promised in ((WINDOW, accepted), (REFUSED, not accepted)):
                        outcome = Outcome(version, "Joliet", True, (), True, facts, None, None,
                                          systems)
                        self.assertEqual(verdict(outcome, DRIVE)[0], promised, facts["appeared"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
