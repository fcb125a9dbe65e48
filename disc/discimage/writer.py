"""Writes the image with xorriso: ISO 9660 level 1 with Joliet and Rock
Ridge names, every date one fixed time."""
import os
import re
import subprocess
import tempfile
import time

from . import Refusal
from .names import AUTORUN_NAME, LAUNCHER_NAME, SETUP_NAME
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


def write_image(image, label, epoch, launcher, autorun, installer, setup_source):
    """Runs xorriso; every date is the epoch, in UTC."""
    grafts = [f"/{AUTORUN_NAME}={escape_graft(autorun)}",
              f"/{LAUNCHER_NAME}={escape_graft(launcher)}",
              f"/{SETUP_NAME}={escape_graft(setup_source)}"]
    for entry in sorted(os.listdir(installer)):
        path = os.path.join(installer, entry)
        if path != setup_source:
            grafts.append(f"/{escape_graft(entry)}={escape_graft(path)}")
    date = time.strftime("%Y%m%d%H%M%S00", time.gmtime(epoch))
    # Names travel to xorriso as the bytes the file system holds.
    with tempfile.NamedTemporaryFile("w", suffix=".grafts", delete=False,
                                     errors="surrogateescape") as listing:
        listing.write("\n".join(grafts) + "\n")
    environment = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch), TZ="UTC")
    # No periodic sync of the output: it is read back at once in any case.
    command = ["xorriso", "-stdio_sync", "off", "-as", "mkisofs",
               "-iso-level", "1", "-J", "-r", "-f", "-V", label, "--set_all_file_dates", date,
               "-graft-points", "-path-list", listing.name, "-o", image]
    progress = Progress("make-disc: writing the image")
    said = []
    try:
        with subprocess.Popen(command, env=environment, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True, errors="replace") as xorriso:
            for line in xorriso.stderr:
                found = PROGRESS_LINE.search(line)
                if found:
                    progress.update(float(found.group(1)) / 100)
                else:
                    said.append(line.strip())
        progress.done()
    except OSError as error:
        raise Refusal("xorriso could not be started (install it: scripts/setup.sh)",
                      error.strerror or error) from None
    finally:
        os.unlink(listing.name)
    if xorriso.returncode != 0:
        # Its first failure names the cause (and the file); the last only
        # says that it gave up.
        problems = [line for line in said if "FAILURE" in line or "SORRY" in line] or said
        raise Refusal("xorriso could not write the image", problems[0] if problems else
                      f"exit code {xorriso.returncode}")
