#!/usr/bin/python3
"""The disc trial as a publisher runs it, on images made here with
xorriso as another tool would make them: the sample disc on every
version (where 32-bit code runs natively; under emulation one accepted
and one refused version), a disc whose SETUP.EXE is missing, one whose
program shows nothing, one whose SETUP.EXE starts the real installer and
ends at once, one whose program tries to reach the host, images whose
names or extents are hostile, one whose SETUP.EXE attacks the trial's
host (links and FIFOs where the host once read the driver's record, a
forged record, deep trees, a full disk, a fork bomb, a memory hog, a
hang), and the refusals of bad input."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
TRY_DISC = os.path.join(PROJECT, "disc", "try_disc.py")
PYTHON = "/usr/bin/python3"
AUTORUN = b"[autorun]\r\nopen=TARNELL.EXE\r\nicon=TARNELL.EXE,0\r\nlabel=KELMORA 2.31.005\r\n"
PLACEHOLDER = "AAAA.TXT"
sys.path.insert(0, os.path.join(PROJECT, "disc"))
sys.path.insert(0, PROJECT)
from disctrial.bounds import GROUP_PREFIX, Hierarchy  # noqa: E402
from launcher.contract import LAUNCHER  # noqa: E402
from discimage.authenticode import sign  # noqa: E402
sys.path.insert(0, HERE)
from certificates import PASSWORD, PUBLISHER, Certificates  # noqa: E402
from discimages import make_image  # noqa: E402
# Every version, by Wine's name and the report's, in the order of their
# release (the launcher's contract).
ALL_VERSIONS = {system.wine: system.shown for system in LAUNCHER.wine_versions()}
# What one Ctrl-C or SIGTERM may take to end a trial, whatever it does.
INTERRUPT_SECONDS = 10
CGROUPS = "/sys/fs/cgroup"


def environment(name):
    """A setting CTest gives; without it the trial cannot run, and that
    is a failure, not a pass."""
    value = os.environ.get(name)
    if not value:
        raise AssertionError(f"{name} is not set: run through CTest")
    return value


def processes_naming(text):
    """The processes whose command line holds the text."""
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as source:
                if text.encode() in source.read():
                    found.append(int(entry))
        except OSError:
            pass
    return found


def leftover_sessions(folder):
    """{name: the first of what is in it} of the trial's session folders
    left in the folder."""
    left = {}
    for name in sorted(os.listdir(folder)):
        if name.startswith(".sessions-"):
            inside = []
            for here, folders, files in os.walk(os.path.join(folder, name)):
                inside += [os.path.relpath(os.path.join(here, n), folder) for n in folders + files]
            left[name] = f"{len(inside)} entries: {', '.join(inside[:8])}"
    return left


def leftover_groups():
    """The trials' control groups left on the machine."""
    left = []
    for here, folders, _ in os.walk(CGROUPS):
        left += [os.path.join(here, name) for name in folders if name.startswith(GROUP_PREFIX)]
        folders[:] = [name for name in folders if not name.startswith(GROUP_PREFIX)
                      and here.count("/") < 6]
    return left


def report_rows(output):
    with open(os.path.join(output, "report.txt"), encoding="utf-8") as report:
        lines = report.read().splitlines()
    return {line.split("  ")[0]: line for line in lines[1:-1]}


class Trial(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # The 32-bit build's driver would run under emulation where 32-bit
        # code does; the 64-bit build's is named when it is there.
        cls.driver = os.environ.get("TARNELL_TRIAL_DRIVER64", "")
        if not os.path.isfile(cls.driver):
            cls.driver = environment("TARNELL_TRIAL_DRIVER")
        cls.prefix = environment("TARNELL_TRIAL_PREFIX")
        cls.launcher = environment("TARNELL_LAUNCHER")
        cls.quiet_launcher = environment("TARNELL_QUIET_LAUNCHER")
        cls.setup = environment("TARNELL_SETUP")
        cls.bootstrap = environment("TARNELL_BOOTSTRAP_SETUP")
        cls.escape = environment("TARNELL_ESCAPE_PROBE")
        cls.hostile = environment("TARNELL_HOSTILE_SETUP")
        # A launcher built to accept 98, XP, 7 and 10, and one that carries
        # German and French.
        cls.systems_launcher = environment("TARNELL_SYSTEMS_LAUNCHER")
        cls.languages_launcher = environment("TARNELL_LANGUAGES_LAUNCHER")
        cls.emulated = os.environ.get("TARNELL_EMULATED") == "ON"
        # Where 32-bit code is emulated, the 64-bit build's hostile program
        # when it is built (tests/disc/CMakeLists.txt).
        hostile64 = os.environ.get("TARNELL_HOSTILE_SETUP64", "")
        cls.hostile_slow = cls.emulated
        if cls.emulated and os.path.isfile(hostile64):
            cls.hostile, cls.hostile_slow = hostile64, False
        cls.work = tempfile.mkdtemp(prefix="try-disc-")
        # Only a trial killed outright (SIGKILL) leaves its sessions'
        # folder; one from an earlier run would be taken for this run's.
        sessions = os.path.dirname(cls.prefix)
        for name in leftover_sessions(sessions):
            print(f"removing {name}, left by a trial killed outright", file=sys.stderr)
            shutil.rmtree(os.path.join(sessions, name), ignore_errors=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def tearDown(self):
        # No trial, whatever its end, leaves its sessions' folder beside
        # the template; one left is removed here, so that the next test
        # is judged on its own.
        sessions = os.path.dirname(self.prefix)
        left = leftover_sessions(sessions)
        for name in left:
            shutil.rmtree(os.path.join(sessions, name), ignore_errors=True)
        self.assertEqual(left, {})
        self.assertEqual(leftover_groups(), [])

    def image(self, name, files, joliet=True):
        """An image made with xorriso from {path on the disc: bytes or a
        file to copy}."""
        return make_image(os.path.join(self.work, name + ".iso"),
                          os.path.join(self.work, name + "-tree"), files, joliet,
                          name.upper())

    def interrupted(self, process, sent, output):
        """Sends the signal to a trial at work and checks that it ended in
        time, with its one line and code, and left nothing."""
        process.send_signal(sent)
        signalled = time.monotonic()
        _, errors = process.communicate(timeout=120)
        self.assertLess(time.monotonic() - signalled, INTERRUPT_SECONDS)
        self.assertEqual(process.returncode, 130 if sent == signal.SIGINT else 143, errors)
        self.assertEqual(errors.strip(), "try-disc: interrupted; nothing written")
        self.assertFalse(os.path.exists(output))
        self.assertEqual(processes_naming("/tools/inside.sh"), [])
        self.assertEqual(leftover_groups(), [])

    def trial(self, image, *options):
        return subprocess.run([PYTHON, TRY_DISC, "--driver", self.driver, "--prefix", self.prefix,
                               image, *options], capture_output=True, text=True)

    def output(self, name):
        return os.path.join(self.work, name + "-try")

    def test_the_sample_disc_keeps_every_promise(self):
        image = self.image("sample", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.launcher,
                                      "SETUP.EXE": self.setup})
        versions = ["win98", "vista"] if self.emulated else list(ALL_VERSIONS)
        result = self.trial(image, "--output", self.output("sample"),
                            "--versions", ",".join(reversed(versions)))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn(f"{len(versions)} versions: {len(versions)} as promised, 0 fell short",
                      result.stdout)
        rows = report_rows(self.output("sample"))
        # In the order of their release, whatever order they were asked in.
        self.assertEqual(list(rows), [ALL_VERSIONS[v] for v in versions])
        if not self.emulated:
            self.assertIn("ISO 9660", rows["Windows NT 3.51"])
            self.assertIn("Joliet", rows["Windows XP"])
            self.assertIn("started from the drive", rows["Windows 95"])
            for refused in ("Windows 7", "Windows Server 2008", "Windows 8.1"):
                self.assertIn('"Unsupported Operating System"', rows[refused])
        self.assertIn("started from the drive", rows["Windows 98"])
        self.assertIn("  unsigned  ", rows["Windows 98"])
        self.assertIn('"Tarnell.exe Error Information": "Unsupported Operating System"',
                      rows["Windows Vista"])
        # The pictures are what the screen showed: the launcher's window
        # (630 x 427 with its frame) and the refusal's box.
        with Image.open(os.path.join(self.output("sample"), "win98.png")) as window:
            self.assertEqual(window.size, (630, 427))
        with Image.open(os.path.join(self.output("sample"), "vista.png")) as box:
            self.assertLess(box.size[0], 630)
        self.assertEqual(sorted(os.listdir(self.output("sample"))),
                         sorted([v + ".png" for v in versions] + ["sheet.png", "report.txt"]))

    def test_the_verdicts_follow_the_systems_the_launcher_accepts(self):
        image = self.image("systems", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.systems_launcher,
                                       "SETUP.EXE": self.setup})
        versions = ["win7"] if self.emulated else ["win7", "win2008", "win95"]
        result = self.trial(image, "--output", self.output("systems"),
                            "--versions", ",".join(versions))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        rows = report_rows(self.output("systems"))
        self.assertIn("started from the drive", rows["Windows 7"])
        if not self.emulated:
            for refused in ("Windows Server 2008", "Windows 95"):
                self.assertIn('"Unsupported Operating System"', rows[refused])

    def test_the_verdicts_follow_the_language_the_launcher_speaks_native(self):
        image = self.image("languages", {"AUTORUN.INF": AUTORUN, "SETUP.EXE": self.setup,
                                         "TARNELL.EXE": self.languages_launcher})
        # (the language asked for, the language the launcher speaks, what
        # its refusal says)
        cases = [("fr", "French", "Système d'exploitation non pris en charge"),
                 ("es", "English", "Unsupported Operating System")]
        for code, spoken, refusal in cases:
            with self.subTest(code):
                result = self.trial(image, "--output", self.output("languages"),
                                    "--versions", "winxp,vista", "--language", code)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                rows = report_rows(self.output("languages"))
                self.assertIn(f"  {spoken}  ", rows["Windows XP"])
                self.assertIn(refusal, rows["Windows Vista"])
                self.assertIn("a second copy was refused", rows["Windows XP"])

    def test_an_interrupted_trial_ends_its_sessions_and_writes_nothing_native(self):
        image = self.image("interrupted", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.launcher,
                                           "SETUP.EXE": self.setup})
        output = self.output("interrupted")
        for sent in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(sent.name):
                shutil.rmtree(output, ignore_errors=True)
                process = subprocess.Popen(
                    [PYTHON, TRY_DISC, "--driver", self.driver, "--prefix", self.prefix,
                     "--output", output, "--versions", "win98,winxp", image],
                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                line = process.stdout.readline()
                while line and "starting" not in line:
                    line = process.stdout.readline()
                self.interrupted(process, sent, output)
                # No session outlives the trial: none of its folders or
                # programs is left.
                sessions = os.path.dirname(self.prefix)
                self.assertEqual(leftover_sessions(sessions), {})
                self.assertEqual(processes_naming(sessions + "/.sessions-"), [])

    def test_discs_that_fall_short_and_an_installer_that_ends_at_once_native(self):
        # (name, files, versions, exit code, what the report says)
        cases = [
            ("nosetup", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.launcher}, "win2k,win10", 1,
             ["Start Install started nothing",
              "2 versions: 1 as promised, 1 fell short (Windows 2000)"]),
            ("quiet", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.quiet_launcher,
                       "SETUP.EXE": self.setup}, "winxp", 1,
             ["should show its window but showed nothing (exit code 0)",
              "fell short (Windows XP)"]),
            # SETUP.EXE starts INSTALL\REAL.EXE and ends without a window.
            ("bootstrap", {"AUTORUN.INF": AUTORUN, "TARNELL.EXE": self.launcher,
                           "SETUP.EXE": self.bootstrap, "INSTALL/REAL.EXE": self.setup},
             "win2k", 0, ["started from the drive",
                          "it started R:\\INSTALL\\REAL.EXE", "1 as promised"]),
        ]
        for name, files, versions, code, texts in cases:
            with self.subTest(name):
                result = self.trial(self.image(name, files), "--output", self.output(name),
                                    "--versions", versions)
                self.assertEqual(result.returncode, code, result.stdout + result.stderr)
                for text in texts:
                    self.assertIn(text, result.stdout)

    def test_a_discs_program_cannot_reach_the_host_native(self):
        canary = os.path.join(self.work, "canary")
        autorun = f"[autorun]\r\nopen=ESCAPE.EXE {canary}\r\n".encode()
        image = self.image("escape", {"AUTORUN.INF": autorun, "ESCAPE.EXE": self.escape})
        result = self.trial(image, "--output", self.output("escape"), "--versions", "winxp")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("wrote through Z: no; wrote around the drives no; read the host's passwd no",
                      result.stdout)
        self.assertEqual([n for n in os.listdir(self.work) if n.startswith("canary")], [])
        # Without the sandbox the same program does reach the host: the
        # probe itself works.
        result = self.trial(image, "--output", self.output("escape"), "--versions", "winxp",
                            "--no-sandbox")
        self.assertIn("wrote around the drives yes", result.stdout)
        self.assertTrue(os.path.isfile(canary + ".unix"))

    def test_the_signer_is_named_and_a_broken_signature_fails_the_versions_after_xp(self):
        certificates = Certificates(tempfile.mkdtemp(prefix="certificates-", dir=self.work))
        signed = os.path.join(self.work, "signed.exe")
        sign(self.launcher, signed, certificates.path("good.p12"), PASSWORD)
        # Its code changed after signing: one byte past the headers.
        with open(signed, "rb") as source:
            changed = bytearray(source.read())
        changed[0x600] ^= 0xFF
        broken = os.path.join(self.work, "broken.exe")
        with open(broken, "wb") as out:
            out.write(changed)
        # (the launcher, the versions, what the rows name, the verdict on
        # Windows Vista): the signed launcher keeps every promise the
        # unsigned one does, on every version where 32-bit code is native.
        every = ["vista"] if self.emulated else list(ALL_VERSIONS)
        cases = [(signed, every, f"signed by {PUBLISHER}, intact",
                  "as promised: refused, as it should"),
                 (broken, ["vista"], f"signed by {PUBLISHER}, broken",
                  "FELL SHORT: its signature is broken")]
        for launcher, versions, named, verdict in cases:
            with self.subTest(named):
                image = self.image(os.path.basename(launcher)[:-4], {
                    "AUTORUN.INF": AUTORUN, "TARNELL.EXE": launcher, "SETUP.EXE": self.setup})
                output = self.output("signature")
                result = self.trial(image, "--output", output, "--versions", ",".join(versions))
                rows = report_rows(output)
                self.assertEqual(len(rows), len(versions))
                for row in rows.values():
                    self.assertIn(f"  {named}  ", row)
                self.assertIn(verdict, rows["Windows Vista"])
                self.assertEqual(result.returncode, 0 if launcher == signed else 1,
                                 result.stdout + result.stderr)

    def hostile_image(self, name, orders):
        """A disc whose autorun program is the hostile SETUP.EXE, with its
        orders: {Windows version ("5.1"): attack and arguments}."""
        text = "".join(f"{version} {attack}\n" for version, attack in orders.items())
        return self.image(name, {"AUTORUN.INF": b"[autorun]\r\nopen=SETUP.EXE\r\n",
                                 "SETUP.EXE": self.hostile, "HOSTILE.TXT": text.encode()})

    def test_attacks_on_the_host_are_stopped_and_leave_nothing(self):
        missing = Hierarchy().missing
        self.assertEqual(missing, [], "this machine gives the trial no control group: the "
                         "fork bomb and the memory hog would reach the host")
        # Host files only root may read, which the disc's program links to
        # where the driver's record once lay on C:.
        marker = "planted-host-secret-5f3e"
        text, picture = os.path.join(self.work, "planted.txt"), os.path.join(self.work, "planted.bmp")
        with open(text, "w") as out:
            out.write(marker + "\n")
        Image.new("RGB", (64, 64), (255, 0, 255)).save(picture)
        for path in (text, picture):
            os.chmod(path, 0o600)
        # Each version its attack; Windows Me's program is well and shows
        # its box while the others are stopped beside it.
        image = self.hostile_image("attacks", {
            "4.0": f"links {text} {picture}", "4.10": "fork", "4.90": "well",
            "5.0": "memory", "5.1": "fill", "6.0": "deep 3000"})
        output = self.output("attacks")
        started = time.monotonic()
        result = self.trial(image, "--output", output,
                            "--versions", "nt40,win98,winme,win2k,winxp,vista")
        self.assertLess(time.monotonic() - started, 1500 if self.hostile_slow else 240)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        rows = report_rows(output)
        # (version, what its row says) — the forged record written to the
        # program's output changes nothing: the box is the driver's.
        expected = [
            ("Windows NT 4.0", 'box "Hostile setup": "made 5 links and FIFOs'),
            ("Windows NT 4.0", "as promised"),
            ("Windows 98", "FELL SHORT: stopped: its programs reached the session's bound of "
                           "256 processes"),
            ("Windows Me", 'box "Hostile setup": "well"'),
            ("Windows 2000", "bound of 2 GiB of memory"),
            ("Windows XP", "bound of 1 GiB written"),
            ("Windows Vista", 'box "Hostile setup": "nested 3000 folders"'),
        ]
        for version, says in expected:
            with self.subTest(version=version, says=says):
                self.assertIn(says, rows[version])
        self.assertIn("6 versions: 3 as promised, 3 fell short", result.stdout)
        # Nothing of the host's files reached the output.
        for name in os.listdir(output):
            with open(os.path.join(output, name), "rb") as source:
                self.assertNotIn(marker.encode(), source.read(), name)
            if name.endswith(".png"):
                with Image.open(os.path.join(output, name)) as shown:
                    self.assertNotEqual(shown.size, (64, 64), name)
        self.assertEqual(processes_naming("/tools/inside.sh"), [])

    def test_a_deep_tree_made_without_the_sandbox_is_removed(self):
        image = self.hostile_image("deep", {"5.1": "deep 3000"})
        result = self.trial(image, "--output", self.output("deep"), "--versions", "winxp",
                            "--no-sandbox")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn('"nested 3000 folders"', result.stdout)
        self.assertNotIn("could not remove", result.stderr)

    def test_one_interrupt_ends_a_trial_whose_programs_hang_or_fork(self):
        image = self.hostile_image("hang", {"5.1": "hang", "5.0": "fork"})
        output = self.output("hang")
        for sent in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(sent.name):
                process = subprocess.Popen(
                    [PYTHON, TRY_DISC, "--driver", self.driver, "--prefix", self.prefix,
                     "--output", output, "--versions", "win2k,winxp", image],
                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                starting = 0
                while starting < 2:
                    line = process.stdout.readline()
                    self.assertTrue(line, "the trial ended before its sessions started")
                    starting += "starting" in line
                # The programs at work: the fork bomb at its bound, the
                # other hanging.
                time.sleep(60 if self.hostile_slow else 5)
                self.interrupted(process, sent, output)

    def test_hostile_images_are_refused_before_anything_is_extracted(self):
        whole = self.image("placeholder", {"AUTORUN.INF": AUTORUN, PLACEHOLDER: b"x"})
        with open(whole, "rb") as source:
            data = source.read()

        def joliet(name, length=None):
            """The image with the placeholder's Joliet name made name (and
            its length field set where the name is shorter)."""
            old = PLACEHOLDER.encode("utf-16-be")
            new = name.encode("utf-16-be", "surrogatepass")
            at = data.index(old)
            patched = bytearray(data)
            patched[at:at + len(new)] = new
            if length is not None:
                patched[at - 1] = length
            return bytes(patched)

        def iso(name):
            at = data.index(PLACEHOLDER.encode() + b";1")
            return data[:at] + name + data[at + len(name):]

        # (the image's bytes, the rule, the path as the message shows it)
        cases = [
            (joliet("..", 4), "is not a plain name ('..')", ": .."),
            (joliet(".", 2), "is not a plain name ('.')", ": ."),
            (joliet("", 0), "is not a plain name ('')", ": "),
            (joliet("..\\A.TXT"), "holds '\\\\', which no plain name holds", ": ..\\\\A.TXT"),
            (joliet("../A.TXT"), "holds '/', which no plain name holds", ": ../A.TXT"),
            (joliet("C:AA.TXT"), "holds ':', which no plain name holds", ": C:AA.TXT"),
            (joliet("A\nAA.TXT"), "holds '\\x0A', which no plain name holds", ": A\\x0AAA.TXT"),
            (joliet("\ud800AAA.TXT"), "Joliet tree cannot be read as text", ""),
            (iso(b"C:AA.TXT"), "ISO 9660 tree holds ':'", ": C:AA.TXT"),
        ]
        output = self.output("hostile")
        for bytes_, rule, where in cases:
            with self.subTest(rule=rule, where=where):
                path = os.path.join(self.work, "hostile.iso")
                with open(path, "wb") as out:
                    out.write(bytes_)
                result = self.trial(path, "--output", output)
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(rule, result.stderr)
                self.assertTrue(result.stderr.rstrip("\n").endswith(where), result.stderr)
                self.assertNotIn("starting", result.stdout)
                self.assertFalse(os.path.exists(output))

    def test_damaged_images_are_refused(self):
        whole = self.image("extents", {"AUTORUN.INF": AUTORUN, PLACEHOLDER: b"x" * 5000})
        with open(whole, "rb") as source:
            data = bytearray(source.read())
        # The placeholder's ISO 9660 record: its extent and length sit 33
        # and 25 bytes before its name (both byte orders).
        at = data.index(PLACEHOLDER.encode() + b";1")
        record = at - 33
        extent = int.from_bytes(data[record + 2:record + 6], "little")

        def with_extent(start):
            patched = bytearray(data)
            patched[record + 2:record + 6] = start.to_bytes(4, "little")
            patched[record + 6:record + 10] = start.to_bytes(4, "big")
            return bytes(patched)

        space = int.from_bytes(data[0x8000 + 80:0x8000 + 84], "little")
        cases = [(with_extent(space - 1), "runs past its end"),
                 (with_extent(extent - 1), "overlap")]
        for bytes_, rule in cases:
            with self.subTest(rule):
                path = os.path.join(self.work, "damaged.iso")
                with open(path, "wb") as out:
                    out.write(bytes_)
                result = self.trial(path, "--output", self.output("damaged"))
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertIn("the image is damaged: ", result.stderr)
                self.assertIn(rule, result.stderr)

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
            (whole, ["--versions", "win95,os2"], 1, "--versions: the versions are win31, nt351"),
            (whole, ["--versions", " , "], 1, "--versions: the list names no version"),
            (whole, ["--frobnicate"], 2, "unrecognized arguments"),
            (no_autorun, ["--versions", "winxp"], 1, "no AUTORUN.INF in the root"),
        ]
        for image, options, code, message in cases:
            with self.subTest(message=message):
                output = self.output("refused")
                result = self.trial(image, *(options or ["--output", output]))
                self.assertEqual(result.returncode, code, result.stdout + result.stderr)
                self.assertIn(message, result.stdout + result.stderr)
                self.assertNotIn("Traceback", result.stderr)
                if code == 1 and "AUTORUN" not in message:
                    self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                    self.assertFalse(os.path.exists(output))
        self.assertEqual(sorted(os.listdir(holder)), ["whole.iso"])


def load_tests(loader, tests, pattern):
    """Where 32-bit code runs under emulation (a minute per process
    start), the tests whose names end in _native stay out, as the test
    programs' do; the 64-bit build runs them at native speed."""
    if os.environ.get("TARNELL_EMULATED") != "ON":
        return tests
    kept = unittest.TestSuite()
    for test in unittest.TestLoader().loadTestsFromTestCase(Trial):
        if not test._testMethodName.endswith("_native"):
            kept.addTest(test)
    return kept


if __name__ == "__main__":
    unittest.main()
