"""One Windows version in a Wine session of its own: a prefix cloned from
the trial's template (prepared once, not booted per version), the
version's tree served as CD-ROM drive R:, its own display and its own
server (started once, by the driver itself, which also sets the Windows
version), shut in by the sandbox (sandbox.py) unless the user accepted the
risk. Sessions share nothing, so several run at once. Wine is configured
only through the Wine layer (wine/), which writes each setting in the
registry view that its reader uses."""
import os
import shutil
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass

from wine import winelayer
from wine.winelayer import WineError as SessionError  # noqa: F401
from disctrial import sandbox

DRIVE = "R"
# How long a program may take to show something, and each later step:
# under qemu's emulation of 32-bit code a process start takes a minute.
LIMIT_MS = 30000
EMULATED_LIMIT_MS = 300000
EMULATED_32BIT = "/proc/sys/fs/binfmt_misc/qemu-i386"
# A session's bound, in steps: the driver waits at most one limit a step,
# and works at most this many in a row.
SESSION_STEPS = 8
# Where the driver, its record and its picture live on the session's C:.
TRIAL_FOLDER = "tarnell-trial"
DRIVER_NAME = "trial_driver.exe"
RESULT_NAME = "result.txt"
SHOT_NAME = "shot.bmp"
DRIVES_KEY = "HKLM\\Software\\Wine\\Drives"


# The sessions running now, so that an interrupted trial ends them all.
_running = set()
_running_lock = threading.Lock()
_ending = threading.Event()


def end_all():
    """Ends every session running now, and any that would start: each
    session's process group, and nothing else."""
    _ending.set()
    with _running_lock:
        for process in _running:
            winelayer.end_group(process)


def limit_ms():
    return EMULATED_LIMIT_MS if os.path.exists(EMULATED_32BIT) else LIMIT_MS


@dataclass(frozen=True)
class SessionResult:
    facts: dict             # the driver's key=value record
    shot: bytes | None      # the picture it took, as BMP bytes
    seconds: float | None   # the bound, when the session did not finish in it


def prepare_template(prefix):
    """Makes the trial's template prefix once and sets it up: R: is a
    CD-ROM drive in every clone (each links it to its own tree)."""
    winelayer.prepare_prefix(prefix)
    winelayer.config(prefix, "set", DRIVES_KEY, DRIVE.lower() + ":", "cdrom")


def parse_result(text):
    facts = {}
    for line in text.splitlines():
        key, _, value = line.partition("=")
        out, i = [], 0
        while i < len(value):
            if value[i] == "\\" and i + 1 < len(value):
                out.append("\n" if value[i + 1] == "n" else value[i + 1])
                i += 2
            else:
                out.append(value[i])
                i += 1
        facts[key] = "".join(out)
    return facts


def make_session(template, tree, driver, work, sandboxed):
    """The session's folder: the cloned prefix with drive R: on the tree
    and no drive onto the host's folders, the driver on C:."""
    folder = tempfile.mkdtemp(prefix="session-", dir=work)
    prefix = os.path.join(folder, "prefix")
    winelayer.clone_prefix(template, prefix)
    devices = os.path.join(prefix, "dosdevices")
    for name in os.listdir(devices):
        if name != "c:":
            os.unlink(os.path.join(devices, name))
    os.symlink(sandbox.DISC_ROOT if sandboxed else os.path.abspath(tree),
               os.path.join(devices, DRIVE.lower() + ":"))
    trial = os.path.join(prefix, "drive_c", TRIAL_FOLDER)
    os.makedirs(trial)
    shutil.copyfile(driver, os.path.join(trial, DRIVER_NAME))
    os.makedirs(os.path.join(folder, "home"))
    if sandboxed:
        sandbox.hand_over(folder, winelayer.LINKED_FOLDERS)
    return folder


def run_session(template, driver, wine_version, tree, command, work, second, sandboxed,
                locale=None):
    """Runs the disc's program on one version in a session of its own (in
    the locale given, else the caller's); the driver's facts, its picture,
    and the bound when it was passed."""
    limit = limit_ms()
    folder = make_session(template, tree, driver, work, sandboxed)
    on_c = "C:\\" + TRIAL_FOLDER + "\\"
    inner = [winelayer.WINE64, on_c + DRIVER_NAME, "--limit", str(limit),
             "--version", wine_version] + (["--second"] if second else []) + \
        [f"{DRIVE}:\\", command, on_c + RESULT_NAME, on_c + SHOT_NAME]
    language = {"LC_ALL": locale, "LANG": locale} if locale else {}
    if sandboxed:
        line = sandbox.command(folder, template, tree, winelayer.HERE, winelayer.LINKED_FOLDERS,
                               ["sh", sandbox.WINE_ROOT + "/session.sh", "--folder", "/tmp",
                                "--"] + inner, language)
        environment = None
    else:
        line = ["sh", winelayer.SESSION, "--folder", folder, "--"] + inner
        environment = dict(os.environ, TARNELL_WINEPREFIX=os.path.join(folder, "prefix"),
                           **language)
    bound = limit * SESSION_STEPS / 1000
    seconds = None
    try:
        if _ending.is_set():
            raise SessionError("the trial was interrupted")
        # A group of its own, so that a session past its bound, or an
        # interrupted one, is ended whole, and nothing else.
        process = subprocess.Popen(line, env=environment, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        with _running_lock:
            _running.add(process)
        try:
            process.wait(timeout=bound)
        except subprocess.TimeoutExpired:
            seconds = bound
            winelayer.end_group(process)
        finally:
            with _running_lock:
                _running.discard(process)
        trial = os.path.join(folder, "prefix", "drive_c", TRIAL_FOLDER)
        try:
            with open(os.path.join(trial, RESULT_NAME), encoding="cp1252",
                      errors="replace") as source:
                facts = parse_result(source.read())
        except OSError:
            facts = {}
        if seconds is not None or "appeared" not in facts:
            facts = dict(facts, appeared="timeout")
        try:
            with open(os.path.join(trial, SHOT_NAME), "rb") as source:
                shot = source.read()
        except OSError:
            shot = None
    finally:
        remove_session(folder)
    return SessionResult(facts, shot, seconds)


def remove_session(folder, limit=30):
    """Removes a session's folder. A session that was ended has its last
    programs killed by the kernel just after its sandbox goes, and one of
    them may still be writing: the removal is tried again until the folder
    is gone, within the limit (seconds)."""
    deadline = time.monotonic() + limit
    while True:
        shutil.rmtree(folder, ignore_errors=True)
        if not os.path.exists(folder) or time.monotonic() > deadline:
            return
        time.sleep(0.1)
