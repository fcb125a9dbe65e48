#!/usr/bin/python3
"""scripts/setup.sh against a package mirror in the middle of a sync, with
apt-get, dpkg and dpkg-query stood in by small shell scripts: a failed
update goes on to the install, a failed install is tried again with the
release's own versions, a bounded number of times, and where nothing helps
setup's own last line says what to do. Nothing touches the real system."""
import os
import shutil
import stat
import subprocess
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
SETUP = os.path.join(PROJECT, "scripts", "setup.sh")

# What apt-get printed when the mirror was in the middle of a sync.
MIRROR_SYNC = textwrap.dedent("""\
    mirror_sync() {
        echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]" >&2
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
        exit 100
    }
    held_broken() {
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
    }
    """)
# Two of the packages setup installs, left out of the stood-in system.
MISSING = ["wine32:i386", "xorriso"]
BOOKWORM = 'PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"\nVERSION_ID="12"\nVERSION_CODENAME=bookworm\nID=debian\n'


def write_script(path, body):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body)
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


class Setup(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="setup-")
        self.addCleanup(shutil.rmtree, self.work)
        self.apt_log = os.path.join(self.work, "apt.log")
        self.dpkg_log = os.path.join(self.work, "dpkg.log")
        self.os_release = os.path.join(self.work, "os-release")
        with open(self.os_release, "w") as f:
            f.write(BOOKWORM)
        # qemu-i386 already registered: the 32-bit part has nothing to do
        # whatever this kernel runs.
        self.binfmt = os.path.join(self.work, "binfmt")
        os.mkdir(self.binfmt)
        for name in ("register", "qemu-i386"):
            open(os.path.join(self.binfmt, name), "w").close()
        self.bin = os.path.join(self.work, "bin")
        os.mkdir(self.bin)
        self.stand_in_dpkg(foreign="i386")
        self.stand_in_dpkg_query(MISSING)

    def stand_in_dpkg(self, foreign):
        write_script(os.path.join(self.work, "dpkg"), f"""\
echo "$*" >> {self.dpkg_log}
[ "$1" != --print-foreign-architectures ] || echo "{foreign}" | grep .
exit 0
""")

    def stand_in_dpkg_query(self, missing):
        listed = os.path.join(self.work, "missing")
        with open(listed, "w") as f:
            f.write("".join(name + "\n" for name in missing))
        write_script(os.path.join(self.work, "dpkg-query"), f"""\
for package; do :; done
if grep -qxF "$package" {listed}; then
    echo "dpkg-query: no packages found matching $package" >&2
    exit 1
fi
printf 'install ok installed'
""")

    def stand_in_apt(self, update, install):
        """update and install: what the stand-in does for each, in sh,
        with $updates the number of updates asked for so far."""
        write_script(os.path.join(self.work, "apt-get"), MIRROR_SYNC + f"""\
printf '%s\\t%s\\n' "${{DEBIAN_FRONTEND:-}}" "$*" >> {self.apt_log}
updates=$(grep -c "	update" {self.apt_log})
case "$1" in
update) {update} ;;
install) {install} ;;
esac
exit 0
""")

    def setup(self, path=None):
        env = dict(os.environ,
                   TARNELL_APT_GET=os.path.join(self.work, "apt-get"),
                   TARNELL_DPKG=os.path.join(self.work, "dpkg"),
                   TARNELL_DPKG_QUERY=os.path.join(self.work, "dpkg-query"),
                   TARNELL_OS_RELEASE=self.os_release,
                   TARNELL_APT_PAUSE="0",
                   TARNELL_BINFMT=self.binfmt)
        if path:
            env["PATH"] = path + os.pathsep + env["PATH"]
        # A loop that never ends fails here instead of hanging the suite.
        try:
            return subprocess.run(["sh", SETUP], capture_output=True, text=True, env=env,
                                  cwd=self.work, timeout=60)
        except subprocess.TimeoutExpired:
            self.fail("setup.sh still running after 60 seconds")

    def apt_calls(self):
        """(DEBIAN_FRONTEND, arguments) of each apt-get call, in order."""
        if not os.path.exists(self.apt_log):
            return []
        with open(self.apt_log) as f:
            return [(frontend, arguments.split())
                    for frontend, arguments in (line.rstrip("\n").split("\t") for line in f)]

    def assert_installs_missing(self, arguments):
        self.assertEqual(arguments[0], "install")
        self.assertIn("-y", arguments)
        if "-t" in arguments:
            at = arguments.index("-t")
            arguments = arguments[:at] + arguments[at + 2:]
        self.assertEqual(sorted(a for a in arguments[1:] if not a.startswith("-")), sorted(MISSING))

    def release_of(self, arguments):
        return arguments[arguments.index("-t") + 1] if "-t" in arguments else None

    def test_failed_update_goes_on_to_the_install(self):
        self.stand_in_dpkg(foreign="")
        self.stand_in_apt(update="mirror_sync", install="exit 0")
        result = self.setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("setup: packages installed", result.stdout)
        # apt's own lines stay in sight.
        self.assertIn("Mirror sync in progress?", result.stderr)
        calls = self.apt_calls()
        self.assertEqual([arguments[0] for _, arguments in calls], ["update", "install"])
        self.assert_installs_missing(calls[1][1])
        self.assertIsNone(self.release_of(calls[1][1]))
        self.assertEqual(calls[1][0], "noninteractive")
        # i386 was not yet an architecture of the stood-in system.
        with open(self.dpkg_log) as f:
            self.assertIn("--add-architecture i386\n", f.read())

    def test_held_broken_packages_installed_with_the_release_s_versions(self):
        self.stand_in_apt(update="mirror_sync",
                          install='case " $* " in *" -t bookworm "*) exit 0 ;; esac; held_broken')
        result = self.setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("setup: packages installed", result.stdout)
        self.assertIn("held broken packages", result.stderr)
        calls = [arguments for _, arguments in self.apt_calls()]
        self.assertEqual([arguments[0] for arguments in calls], ["update", "install", "install"])
        self.assertIsNone(self.release_of(calls[1]))
        self.assertEqual(self.release_of(calls[2]), "bookworm")
        self.assert_installs_missing(calls[2])
        # i386 was there already.
        with open(self.dpkg_log) as f:
            self.assertNotIn("--add-architecture", f.read())

    def test_the_codename_is_the_os_release_s_quoted_or_else_lsb_release_s(self):
        # Not this machine's codename: the retry's shows where it came from.
        write_script(os.path.join(self.bin, "lsb_release"), "echo trixie\n")
        for text, expected in [('ID=debian\nVERSION_CODENAME="trixie"\n', "trixie"),
                               ("ID=debian\nVERSION_CODENAME='trixie'\n", "trixie"),
                               ('ID=debian\nVERSION_ID="13"\n', "trixie")]:
            with self.subTest(text):
                with open(self.os_release, "w") as f:
                    f.write(text)
                if os.path.exists(self.apt_log):
                    os.remove(self.apt_log)
                self.stand_in_apt(update="exit 0",
                                  install='case " $* " in *" -t trixie "*) exit 0 ;; esac; held_broken')
                result = self.setup(path=self.bin)
                self.assertEqual(result.returncode, 0, result.stderr)
                calls = [arguments for _, arguments in self.apt_calls()]
                self.assertEqual(len(calls), 3)
                self.assertEqual(self.release_of(calls[2]), expected)

    def test_without_a_codename_no_release_is_named(self):
        write_script(os.path.join(self.bin, "lsb_release"), "echo n/a\n")
        with open(self.os_release, "w") as f:
            f.write('ID=debian\nVERSION_ID="13"\n')
        self.stand_in_apt(update="exit 0", install="held_broken")
        result = self.setup(path=self.bin)
        self.assertEqual(result.returncode, 1, result.stderr)
        calls = [arguments for _, arguments in self.apt_calls()]
        self.assertEqual([arguments[0] for arguments in calls], ["update", "install", "update", "install"])
        self.assertFalse(any("-t" in arguments for arguments in calls), calls)

    def test_a_sync_over_by_the_last_update_installs_the_updates(self):
        self.stand_in_apt(update='[ "$updates" -ge 2 ] || mirror_sync',
                          install='[ "$updates" -ge 2 ] || held_broken')
        result = self.setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("setup: packages installed", result.stdout)
        calls = [arguments for _, arguments in self.apt_calls()]
        self.assertEqual([arguments[0] for arguments in calls], ["update", "install", "install", "update", "install"])
        # Lists read whole: the security updates too, not the release's alone.
        self.assertIsNone(self.release_of(calls[4]))
        self.assert_installs_missing(calls[4])

    def test_nothing_helps_setup_says_what_to_do_after_a_bounded_number_of_tries(self):
        self.stand_in_apt(update="mirror_sync", install="held_broken")
        result = self.setup()
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertNotIn("packages installed", result.stdout)
        last = result.stderr.rstrip("\n").split("\n")[-1]
        self.assertTrue(last.startswith("setup: "), result.stderr)
        self.assertIn("could not install", last)
        self.assertIn("try again later", last)
        self.assertIn("another mirror", last)
        for package in MISSING:
            self.assertIn(package, last)
        calls = [arguments for _, arguments in self.apt_calls()]
        self.assertLessEqual(len(calls), 5, calls)
        self.assertLessEqual(sum(arguments[0] == "update" for arguments in calls), 2, calls)
        self.assertIn("bookworm", [self.release_of(arguments) for arguments in calls])
        # The lists still unread at the end: the last try keeps the release's versions.
        self.assertEqual(calls[-1][0], "install")
        self.assertEqual(self.release_of(calls[-1]), "bookworm")

    def test_nothing_missing_calls_no_apt(self):
        self.stand_in_dpkg_query([])
        self.stand_in_apt(update="mirror_sync", install="held_broken")
        result = self.setup()
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
        self.assertEqual(self.apt_calls(), [])
        self.assertFalse(os.path.exists(self.dpkg_log))


if __name__ == "__main__":
    unittest.main()
