#!/usr/bin/python3
"""hostlib.files on trees and files that someone else's program made:
removal of deep, wide, read-only trees with odd names, links and FIFOs
(run as an unprivileged user, for whom read-only means it), and reads
that never follow a link, never block on a FIFO and never pass their
bound."""
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, PROJECT)
from hostlib.files import UntrustedFileError, read_regular, remove_tree  # noqa: E402

NOBODY = 65534


def as_unprivileged(code):
    """Runs Python code with the project on its path as nobody when this
    runs as root (whom no permission stops), else as this user."""
    command = [sys.executable, "-c", f"import sys; sys.path.insert(0, {PROJECT!r}); " + code]
    if os.geteuid() == 0:
        command = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"] + command
    return subprocess.run(command, capture_output=True, text=True, timeout=300)


def give_away(name, dir_fd=None):
    """A file or folder to nobody, a link itself, when this runs as root."""
    if os.geteuid() == 0:
        os.chown(name, NOBODY, NOBODY, dir_fd=dir_fd, follow_symlinks=False)


class Removal(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="hostlib-files-")
        os.chmod(self.work, 0o755)
        give_away(self.work)
        # Outside the tree: what links in it lead to, which must survive.
        self.outside = os.path.join(self.work, "outside")
        os.makedirs(os.path.join(self.outside, "kept-folder"))
        with open(os.path.join(self.outside, "kept.txt"), "w") as out:
            out.write("kept\n")

    def tearDown(self):
        # What a failed removal left is too deep for shutil.
        remove_tree(self.work)

    def test_any_tree_is_removed_and_nothing_outside_it(self):
        tree = os.path.join(self.work, "tree")
        os.makedirs(tree)
        # Deep: 4000 folders, deeper than a path can name and than Python
        # recurses, every hundredth read-only, every 250th unreadable.
        give_away(tree)
        fd = os.open(tree, os.O_RDONLY | os.O_DIRECTORY)
        folders = []
        for level in range(4000):
            name = b"d\n\xff" if level % 3 == 0 else "deep"
            os.mkdir(name, dir_fd=fd)
            give_away(name, fd)
            inner = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            folders.append((fd, name, level))
            fd = inner
        with open(os.open("bottom.txt", os.O_WRONLY | os.O_CREAT, dir_fd=fd), "w") as out:
            out.write("bottom\n")
        give_away("bottom.txt", fd)
        os.close(fd)
        # Wide, with a link out of the tree to a file and to a folder, a
        # link to itself, a FIFO and names no Windows would take.
        for i in range(2000):
            with open(os.path.join(tree, f"wide-{i}"), "w") as out:
                out.write("w")
        os.symlink(os.path.join(self.outside, "kept.txt"), os.path.join(tree, "to-file"))
        os.symlink(os.path.join(self.outside, "kept-folder"), os.path.join(tree, "to-folder"))
        os.symlink("loop", os.path.join(tree, "loop"))
        os.mkfifo(os.path.join(tree, "fifo"))
        for name in (b"\x01\x7f", b"line\nbreak", b".removing-1", b"-rf"):
            os.mkdir(os.path.join(os.fsencode(tree), name))
        for name in os.listdir(tree):
            give_away(os.path.join(tree, name))
        for parent_fd, name, level in reversed(folders):
            if level % 250 == 249:
                os.chmod(name, 0o000, dir_fd=parent_fd)
            elif level % 100 == 99:
                os.chmod(name, 0o555, dir_fd=parent_fd)
            os.close(parent_fd)
        os.chmod(tree, 0o555)

        started = time.monotonic()
        result = as_unprivileged(f"from hostlib.files import remove_tree; "
                                 f"print(remove_tree({tree!r}))")
        self.assertEqual(result.stdout.strip(), "None", result.stderr)
        self.assertLess(time.monotonic() - started, 120)
        self.assertFalse(os.path.lexists(tree))
        self.assertEqual(sorted(os.listdir(self.outside)), ["kept-folder", "kept.txt"])
        with open(os.path.join(self.outside, "kept.txt")) as kept:
            self.assertEqual(kept.read(), "kept\n")

    def test_what_cannot_be_removed_is_named(self):
        # A folder the remover does not own, in a folder it cannot write.
        tree = os.path.join(self.work, "held")
        os.makedirs(os.path.join(tree, "theirs", "inner"))
        if os.geteuid() == 0:
            os.lchown(tree, NOBODY, NOBODY)
        os.chmod(os.path.join(tree, "theirs"), 0o555)
        result = as_unprivileged(f"from hostlib.files import remove_tree; "
                                 f"print(remove_tree({tree!r}))")
        self.assertIn(os.path.join(tree, "theirs"), result.stdout, result.stderr)
        self.assertTrue(os.path.isdir(os.path.join(tree, "theirs", "inner")))

    def test_a_file_a_link_or_nothing_in_the_folders_place(self):
        target = os.path.join(self.outside, "kept-folder")
        link = os.path.join(self.work, "link")
        os.symlink(target, link)
        self.assertIsNone(remove_tree(link))
        self.assertFalse(os.path.lexists(link))
        self.assertTrue(os.path.isdir(target))
        self.assertIsNone(remove_tree(os.path.join(self.work, "missing")))


class Reading(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="hostlib-read-")
        self.file = os.path.join(self.work, "record.txt")
        with open(self.file, "wb") as out:
            out.write(b"x" * 100)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def test_a_regular_file_within_its_bound(self):
        self.assertEqual(read_regular(self.file, 100), b"x" * 100)

    def test_what_is_no_regular_file_or_too_large_is_refused_at_once(self):
        link = os.path.join(self.work, "link")
        os.symlink(self.file, link)
        fifo = os.path.join(self.work, "fifo")
        os.mkfifo(fifo)
        # (path, limit, what the refusal says)
        cases = [(link, 100, "a link"), (fifo, 100, "not a regular file"),
                 (self.work, 100, "not a regular file"), (self.file, 99, "larger than 99 bytes")]
        for path, limit, says in cases:
            with self.subTest(path=os.path.basename(path), limit=limit):
                started = time.monotonic()
                with self.assertRaises(UntrustedFileError) as refusal:
                    read_regular(path, limit)
                self.assertIn(says, refusal.exception.strerror)
                self.assertLess(time.monotonic() - started, 5)
        self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))


if __name__ == "__main__":
    unittest.main()
