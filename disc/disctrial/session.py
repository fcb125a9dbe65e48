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
import signal
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


# Set when the trial is interrupted: no session starts any more, and each
# running one is ended by the thread that runs it.
_ending = threading.Event()
# How often a running session looks whether it should end.
POLL_SECONDS = 0.2
# How long the processes of an ended session may take to go.
GONE_SECONDS = 30


def end_all():
    """Ends every session running now, and any that would start; each
    thread that runs one ends it whole (its process group and every
    process below it), and nothing else."""
    _ending.set()


def _process_table():
    """{pid: (parent pid, start time, state)} of every process now."""
    table = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat", encoding="ascii", errors="replace") as source:
                    fields = source.read().rsplit(")", 1)[1].split()
                table[int(entry)] = (int(fields[1]), fields[19], fields[0])
            except (OSError, IndexError, ValueError):
                pass
    return table


def _descendants(pid):
    """{pid: start time} of every process below pid now."""
    table = _process_table()
    found, queue = {}, [pid]
    while queue:
        parent = queue.pop()
        for child, (ppid, started, _) in table.items():
            if ppid == parent and child not in found:
                found[child] = started
                queue.append(child)
    return found


def _end_session(process):
    """Ends a session's process group, then every process that was below
    it (a sandbox's own processes are in a group and a process namespace
    of their own, which the kernel tears down only after its first
    process goes), and waits until they are all gone, within a bound. A
    process is known by its id and its start time, so that an id used
    again is never taken for it."""
    below = _descendants(process.pid)
    winelayer.end_group(process)
    deadline = time.monotonic() + GONE_SECONDS
    while True:
        table = _process_table()
        left = [pid for pid, started in below.items()
                if pid in table and table[pid][1] == started and table[pid][2] != "Z"]
        if not left or time.monotonic() > deadline:
            return
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        time.sleep(0.05)


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
        deadline = time.monotonic() + bound
        while True:
            try:
                process.wait(timeout=POLL_SECONDS)
                break
            except subprocess.TimeoutExpired:
                if _ending.is_set() or time.monotonic() > deadline:
                    # (An interrupted session raises below: its bound is
                    # not reported.)
                    seconds = bound
                    _end_session(process)
                    break
        if _ending.is_set():
            raise SessionError("the trial was interrupted")
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
    is gone, within the limit (seconds). Returns None when it is gone, else
    what kept it."""
    deadline = time.monotonic() + limit
    while True:
        kept = []
        shutil.rmtree(folder, onerror=lambda _, path, error: kept.append(f"{path}: {error[1]}"))
        if not os.path.lexists(folder):
            return None
        if time.monotonic() > deadline:
            return kept[-1] if kept else folder
        time.sleep(0.1)
