"""Writes the image with xorriso: ISO 9660 level 1 with Joliet and Rock
Ridge names, every date one fixed time. It holds what the scan of the
installer folder decided (names.scan_installer) and nothing else: each file
at its disc path from its source, and the folders no file lies in."""
import os
import re
import subprocess
import tempfile
import time

from hostlib import Refusal
from .progress import Progress

# xorriso's own progress while it writes.
PROGRESS_LINE = re.compile(r"UPDATE :\s+([0-9.]+)% done")

HERE = os.path.dirname(os.path.abspath(__file__))


def image_epoch():
    """SOURCE_DATE_EPOCH when set, else the time of the checkout's last
    commit: the same on every machine for the same checkout."""
    text = os.environ.get("SOURCE_DATE_EPOCH")
    if text is not None:
        if not text.isdigit():
            raise Refusal("SOURCE_DATE_EPOCH must be a whole number of seconds", repr(text))
        return int(text)
    try:
        out = subprocess.run(["git", "-C", HERE, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        raise Refusal("no date for the image: set SOURCE_DATE_EPOCH outside a git checkout",
                      HERE) from None


def escape_graft(path):
    return path.replace("\\", "\\\\").replace("=", "\\=")


def folders_without_files(files, folders):
    """The folders that grafting the files does not make: those no file
    lies in, at any depth."""
    holding = set()
    for disc_file in files:
        parts = disc_file.disc_path.split("/")[1:-1]
        holding.update("/" + "/".join(parts[:depth]) for depth in range(1, len(parts) + 1))
    return [folder for folder in folders if folder not in holding]


def graft_list(files, folders, empty):
    """xorriso's path list: each file at its disc path from its source, and
    each folder that would otherwise be missing from an empty folder."""
    grafts = [f"{escape_graft(f.disc_path)}={escape_graft(f.source)}" for f in files]
    grafts += [f"{escape_graft(folder)}={escape_graft(empty)}"
               for folder in folders_without_files(files, folders)]
    return "\n".join(grafts) + "\n"


def write_path_list(work, files, folders):
    """Writes xorriso's path list, and the empty folder it grafts, into
    the work folder; the list's path."""
    empty = os.path.join(work, "empty")
    os.mkdir(empty)
    listing = os.path.join(work, "grafts")
    # Names travel to xorriso as the bytes the file system holds.
    with open(listing, "w", errors="surrogateescape") as out:
        out.write(graft_list(files, folders, empty))
    return listing


def write_image(image, label, epoch, files, folders):
    """Runs xorriso on the disc's files and folders (disc paths from /);
    every date is the epoch, in UTC."""
    with tempfile.TemporaryDirectory(prefix="make-disc-") as work:
        run_xorriso(image, label, epoch, write_path_list(work, files, folders))


def xorriso_environment(epoch):
    """xorriso's environment: its own dates the epoch too, in UTC."""
    return dict(os.environ, SOURCE_DATE_EPOCH=str(epoch), TZ="UTC")


def xorriso_command(image, label, epoch, listing):
    """xorriso's command line for the image from a path list, every date
    the epoch."""
    date = time.strftime("%Y%m%d%H%M%S00", time.gmtime(epoch))
    # No periodic sync of the output: it is read back at once in any case.
    return ["xorriso", "-stdio_sync", "off", "-as", "mkisofs",
            "-iso-level", "1", "-J", "-r", "-f", "-V", label, "--set_all_file_dates", date,
            "-graft-points", "-path-list", listing, "-o", image]


def run_xorriso(image, label, epoch, listing):
    """xorriso on a path list, its progress shown; a refusal with its first
    complaint when it fails."""
    environment = xorriso_environment(epoch)
    command = xorriso_command(image, label, epoch, listing)
    progress = Progress("make-disc: writing the image")
    said = []
    try:
        with subprocess.Popen(command, env=environment, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True, errors="replace") as xorriso:
            try:
                for line in xorriso.stderr:
                    found = PROGRESS_LINE.search(line)
                    if found:
                        progress.update(float(found.group(1)) / 100)
                    else:
                        said.append(line.strip())
            except BaseException:
                # Interrupted: xorriso goes too, before its output is removed.
                xorriso.kill()
                raise
        progress.done()
    except OSError as error:
        raise Refusal("xorriso could not be started (install it: scripts/setup.sh)",
                      error.strerror or error) from None
    if xorriso.returncode != 0:
        # Its first failure names the cause (and the file); the last only
        # says that it gave up.
        problems = [line for line in said if "FAILURE" in line or "SORRY" in line] or said
        raise Refusal("xorriso could not write the image", problems[0] if problems else
                      f"exit code {xorriso.returncode}")
