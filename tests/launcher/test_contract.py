#!/usr/bin/python3
"""The launcher's contract (launcher/contract.toml), which every tool,
driver and test reads: its facts are the launcher's documented ones, the
room of its title follows the title's rule, a contract that lacks a fact
or gives one of the wrong kind is refused by name, and contract.h says
what the contract says. Host-side, once."""
import os
import re
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, PROJECT)
from launcher.contract import CONTRACT, ContractError, LAUNCHER, header, load  # noqa: E402

with open(CONTRACT, encoding="utf-8") as source:
    CONTRACT_TEXT = source.read()


class Facts(unittest.TestCase):
    def test_the_texts_ids_and_names_the_launcher_documents(self):
        # (key, string id, English) as the README and the launcher's users know them.
        expected = [("start-install", 1, "Start Install"), ("dont-install", 2, "Don't Install"),
                    ("unsupported-os", 3, "Unsupported Operating System"),
                    ("second-instance", 4, "Only one instance of this program allowed!"),
                    ("error-caption", 5, " Error Information"), ("title", 6, None),
                    ("installer-failed", 7, "The installer could not be started:")]
        self.assertEqual([(t.key, t.id, t.english) for t in LAUNCHER.texts], expected)
        self.assertEqual(LAUNCHER.installer, "Setup.exe")
        self.assertEqual({name: (b.id, LAUNCHER.text(b.text).english)
                          for name, b in LAUNCHER.buttons.items()},
                         {"start": (1, "Start Install"), "dont": (2, "Don't Install")})
        self.assertEqual((LAUNCHER.width, LAUNCHER.height), (630, 427))
        self.assertEqual(LAUNCHER.title_format("KELMORA"),
                         " KELMORA CD-ROM Autorun Program (%s v%s)")
        self.assertEqual(LAUNCHER.english_title(),
                         "{product} CD-ROM Autorun Program ({file} v{version})")
        self.assertEqual((LAUNCHER.text_limit, LAUNCHER.caption_limit, LAUNCHER.code_page),
                         (127, 46, 1252))

    def test_the_systems_in_the_order_of_their_release(self):
        wine = [(s.wine, s.shown, s.name, s.setting) for s in LAUNCHER.wine_versions()]
        self.assertEqual(wine, [
            ("win31", "Win32s", "win32s", "win31"),
            ("nt351", "Windows NT 3.51", "nt3.51", "nt351"),
            ("win95", "Windows 95", "95", "win95"), ("nt40", "Windows NT 4.0", "nt4", "nt40"),
            ("win98", "Windows 98", "98", "win98"), ("win2k", "Windows 2000", "2000", "win2k"),
            ("winme", "Windows Me", "me", "winme"), ("winxp", "Windows XP", "xp", "winxp"),
            ("win2003", "Windows Server 2003", "2003", "win2003"),
            ("winxp64", "Windows XP x64", "xp64", "winxp64"),
            ("vista", "Windows Vista", "vista", "vista"),
            ("win2008", "Windows Server 2008", "2008", "win2008"),
            # Wine 8.0 swaps the product types of these two settings.
            ("win7", "Windows 7", "7", "win2008r2"),
            ("win2008r2", "Windows Server 2008 R2", "2008r2", "win7"),
            ("win8", "Windows 8", "8", "win8"), ("win81", "Windows 8.1", "8.1", "win81"),
            ("win10", "Windows 10", "10", "win10")])
        self.assertEqual([s.name for s in LAUNCHER.systems if not s.joliet], ["nt3.51"])
        self.assertEqual({s.name for s in LAUNCHER.systems if s.original},
                         {"95", "98", "me", "nt3.51", "nt4", "2000", "xp", "win32s"})
        self.assertEqual(LAUNCHER.original_mask, 255)
        eleven = LAUNCHER.system("11")
        self.assertEqual((eleven.wine, eleven.nt, eleven.first_build), (None, (10, 0), 22000))
        self.assertEqual(LAUNCHER.system("95").os_types, {"OS_TYPE_WIN95A": 4, "OS_TYPE_WIN95B": 8})
        self.assertEqual((LAUNCHER.system("2003").nt, LAUNCHER.system("2003").server),
                         ((5, 2), True))

    def test_the_room_the_title_leaves(self):
        # KELMORA 2.31.005 leaves 35 characters for the file name; each
        # character of the word or the version takes one of them.
        cases = [("KELMORA", "2.31.005", 35), ("KELMORA", "2.31.0050", 34),
                 ("K" * 30, "2.31.005", 12), ("K" * 31, "2.31.005", 11)]
        for product, version, room in cases:
            with self.subTest(product=product, version=version):
                self.assertEqual(LAUNCHER.title_room(LAUNCHER.title_format(product), version),
                                 room)


class Refusals(unittest.TestCase):
    def load_changed(self, old, new):
        self.assertIn(old, CONTRACT_TEXT)
        with tempfile.NamedTemporaryFile("w", suffix=".toml", delete=False) as out:
            out.write(CONTRACT_TEXT.replace(old, new, 1))
        self.addCleanup(os.unlink, out.name)
        return load(out.name)

    def test_a_missing_or_wrong_fact_is_refused_by_name(self):
        # (the contract's text, what replaces it, what the refusal names)
        cases = [('installer = "Setup.exe"\n', "", "contract.installer is missing"),
                 ("width = 630", 'width = "630"', "window.width is no int"),
                 ('english = "Start Install"', "", "texts[0].english is missing"),
                 ("id = 2\nname = \"DONT_INSTALL\"", "id = 1\nname = \"DONT_INSTALL\"",
                  "repeats a key, an id or a name"),
                 ("bit = 4096", "bit = 64", "a name and a bit of its own"),
                 ('words = " CD-ROM Autorun Program (%s v%s)"', 'words = " CD-ROM (%s)"',
                  "title.words names the file and the version"),
                 ('text = "dont-install"', 'text = "cancel"', "no text 'cancel'"),
                 ("nt = [6, 3]\n", "", "known by its OS codes or its NT version")]
        for old, new, named in cases:
            with self.subTest(named=named):
                with self.assertRaises(ContractError) as refusal:
                    self.load_changed(old, new)
                self.assertIn(named, str(refusal.exception))


class Header(unittest.TestCase):
    def test_the_header_says_what_the_contract_says(self):
        defines = dict(re.findall(r"^#define (\w+) +(.+)$", header(), re.M))
        expected = {"ID_START_INSTALL": "1", "ID_DONT_INSTALL": "2", "IDS_TITLE_FORMAT": "6",
                    "IDS_LAST_TEXT": "IDS_INSTALLER_FAILED", "TEXT_START_INSTALL": '"Start Install"',
                    "TEXT_DONT_INSTALL": '"Don\'t Install"', "INSTALLER_NAME": '"Setup.exe"',
                    "LAUNCHER_TEXT_SIZE": "128", "TITLE_SIZE": "80", "SYSTEM_NT351": "8",
                    "SYSTEM_NT351_NAME": '"nt3.51"', "SYSTEM_81": "32768", "SYSTEMS_ORIGINAL": "255",
                    "START_BUTTON_OFFSET": "320", "TEXT_CODE_PAGE": "1252"}
        for name, value in expected.items():
            with self.subTest(name=name):
                self.assertEqual(defines.get(name), value)
        later = defines["CONTRACT_LATER_SYSTEMS"]
        self.assertIn("{ 10, 0, FALSE, 22000, SYSTEM_11 }", later)
        self.assertIn("{ 6, 1, TRUE, 0, SYSTEM_2008R2 }", later)
        self.assertIn("{ OS_TYPE_WIN95B, SYSTEM_95 }", defines["CONTRACT_KNOWN_SYSTEMS"])


if __name__ == "__main__":
    unittest.main()
