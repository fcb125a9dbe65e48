"""One Windows version in a Wine session of its own: a prefix cloned from
the trial's template (prepared once, not booted per version), the
version's tree served as CD-ROM drive R:, its own display and its own
server (started once, by the driver itself, which also sets the Windows
version), shut in by the sandbox (sandbox.py) unless the user accepted the
risk, and held to its bounds (bounds.py). Sessions share nothing, so
several run at once. Wine is configured only through the Wine layer
(wine/), which writes each setting in the registry view that its reader
uses.

What the driver saw reaches the trial through the session's standard
output, a pipe the trial holds and reads within a bound while it waits:
the trial opens no file that a disc's program could have written or
replaced, and no read or wait of a session is without end."""
import itertools
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass

from hostlib import shown
from hostlib.files import remove_tree
from wine import winelayer
from wine.winelayer import WineError as SessionError  # noqa: F401
from disctrial import bounds, sandbox

DRIVE = "R"
# How long a program may take to show something, and each later step:
# under qemu's emulation of 32-bit code a process start takes a minute.
LIMIT_MS = 30000
EMULATED_LIMIT_MS = 300000
EMULATED_32BIT = "/proc/sys/fs/binfmt_misc/qemu-i386"
# A session's bound, in steps: the driver waits at most one limit a step,
# and works at most this many in a row.
SESSION_STEPS = 8
# Where the driver lives on the session's C:.
TRIAL_FOLDER = "tarnell-trial"
DRIVER_NAME = "trial_driver.exe"
DRIVES_KEY = "HKLM\\Software\\Wine\\Drives"
# The most the trial reads of a session's output: the driver's record and
# one picture of a window on the session's 1024 x 768 screen.
OUTPUT_LIMIT = 8 << 20
# The longest value of the record the trial keeps (a window's text).
VALUE_LIMIT = 4096
PICTURE_KEY = "picture"

# Set when the trial is interrupted: no session starts any more, and each
# running one is ended by the thread that runs it.
_ending = threading.Event()
# How often a running session looks whether it should end.
POLL_SECONDS = 0.2
# How long an ended session's programs may take to go, and its session
# script to end its display and server when asked (without the sandbox).
GONE_SECONDS = 5
ASKED_SECONDS = 2
# After the session's first process ended, how long its output may take to
# arrive whole.
DRAIN_SECONDS = 2
_numbers = itertools.count(1)


def end_all():
    """Ends every session running now, and any that would start; each
    thread that runs one ends it whole (its processes and every process
    below them), and nothing else."""
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


def _end_session(process, group, sandboxed):
    """Ends a session: its control group's processes, its process group,
    and every process that was below it (a sandbox's own processes are in
    a group and a process namespace of their own), all killed and waited
    for within GONE_SECONDS. Without the sandbox, the session's script is
    asked first, so that it ends its display and server and removes their
    files on the host. A process is known by its id and its start time, so
    that an id used again is never taken for it."""
    below = _descendants(process.pid)
    if not sandboxed:
        try:
            os.killpg(process.pid, signal.SIGTERM)
            process.wait(timeout=ASKED_SECONDS)
        except (OSError, subprocess.TimeoutExpired):
            pass
        below.update(_descendants(process.pid))
    group.kill()
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except OSError:
        pass
    deadline = time.monotonic() + GONE_SECONDS
    while True:
        table = _process_table()
        left = [pid for pid, started in below.items()
                if pid in table and table[pid][1] == started and table[pid][2] != "Z"]
        if not left or time.monotonic() > deadline:
            break
        bounds.kill_processes(left)
        time.sleep(0.05)
    try:
        process.wait(timeout=max(0.1, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        pass


def limit_ms():
    return EMULATED_LIMIT_MS if os.path.exists(EMULATED_32BIT) else LIMIT_MS


@dataclass(frozen=True)
class SessionResult:
    facts: dict             # the driver's key=value record
    shot: bytes | None      # the picture it took, as BMP bytes
    seconds: float | None   # the bound, when the session did not finish in it
    stopped: str | None = None  # the bound its programs reached (bounds.py), if any


def prepare_template(prefix):
    """Makes the trial's template prefix once and sets it up: R: is a
    CD-ROM drive in every clone (each links it to its own tree)."""
    winelayer.prepare_prefix(prefix)
    winelayer.config(prefix, "set", DRIVES_KEY, DRIVE.lower() + ":", "cdrom")


def unescaped(value):
    out, i = [], 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value):
            out.append("\n" if value[i + 1] == "n" else value[i + 1])
            i += 2
        else:
            out.append(value[i])
            i += 1
    return "".join(out)


def parse_output(data):
    """The driver's facts and its picture from what the session wrote:
    'key=value' lines (backslashes and line breaks escaped), and the
    picture as a line 'picture=LENGTH' followed by that many bytes. A key
    given twice keeps its first value; a line that is no fact is passed
    over; a value is cut at VALUE_LIMIT characters."""
    facts, shot, at = {}, None, 0
    while at < len(data):
        end = data.find(b"\n", at)
        end = len(data) if end < 0 else end
        line = data[at:end].decode("cp1252", errors="replace")
        at = end + 1
        key, equals, value = line.partition("=")
        if not equals or not key.isidentifier():
            continue
        if key == PICTURE_KEY:
            length = int(value) if value.isdigit() else -1
            if 0 <= length <= len(data) - at and shot is None:
                shot = data[at:at + length]
            at += max(length, 0)
            continue
        facts.setdefault(key, unescaped(value[:VALUE_LIMIT * 2])[:VALUE_LIMIT])
    return facts, shot


class Output:
    """A session's standard output, read without blocking and within
    OUTPUT_LIMIT: what comes past it is read and dropped, so that the
    writer never blocks."""

    def __init__(self, pipe):
        self.pipe = pipe
        self.fd = pipe.fileno()
        os.set_blocking(self.fd, False)
        self.chunks, self.size, self.ended = [], 0, False

    def read(self, seconds):
        """Reads what comes within seconds; True once the pipe has ended."""
        if self.ended:
            return True
        ready, _, _ = select.select([self.fd], [], [], seconds)
        while ready:
            try:
                chunk = os.read(self.fd, 1 << 16)
            except BlockingIOError:
                break
            if not chunk:
                self.ended = True
                break
            if self.size < OUTPUT_LIMIT:
                self.chunks.append(chunk[:OUTPUT_LIMIT - self.size])
            self.size += len(chunk)
        return self.ended

    def data(self):
        return b"".join(self.chunks)


def make_session(template, tree, driver, work):
    """Without the sandbox: the session's folder, with the cloned prefix,
    drive R: on the tree and no drive onto the host's folders, the driver
    on C:."""
    folder = tempfile.mkdtemp(prefix="session-", dir=work)
    prefix = os.path.join(folder, "prefix")
    winelayer.clone_prefix(template, prefix)
    devices = os.path.join(prefix, "dosdevices")
    for name in os.listdir(devices):
        if name != "c:":
            os.unlink(os.path.join(devices, name))
    os.symlink(os.path.abspath(tree), os.path.join(devices, DRIVE.lower() + ":"))
    trial = os.path.join(prefix, "drive_c", TRIAL_FOLDER)
    os.makedirs(trial)
    shutil.copyfile(driver, os.path.join(trial, DRIVER_NAME))
    os.makedirs(os.path.join(folder, "home"))
    return folder


def session_command(template, driver, tree, work, sandboxed, driver_arguments, language):
    """(the command line, its environment, the session's folder on the host
    or None)."""
    if sandboxed:
        line = sandbox.command(template, tree, driver, winelayer.HERE, winelayer.LINKED_FOLDERS,
                               [winelayer.WINE64] + driver_arguments, language)
        return line, None, None
    folder = make_session(template, tree, driver, work)
    line = ["sh", winelayer.SESSION, "--folder", folder, "--", winelayer.WINE64] + \
        driver_arguments
    environment = dict(os.environ, TARNELL_WINEPREFIX=os.path.join(folder, "prefix"),
                       HOME=os.path.join(folder, "home"), **(language or {}))
    return line, environment, folder


def _watch(process, output, group, sandboxed, bound):
    """Waits for the session's end while reading its output; ends it past
    its bound, when a bound of its programs is reached, or when the trial
    is interrupted. Returns (bound passed, bound reached)."""
    deadline = time.monotonic() + bound
    inside = None
    while process.poll() is None:
        if output.ended:
            try:
                process.wait(timeout=POLL_SECONDS)
            except subprocess.TimeoutExpired:
                pass
        else:
            output.read(POLL_SECONDS)
        if _ending.is_set():
            return None, None
        if time.monotonic() > deadline:
            return bound, None
        reached = group.reached()
        if reached is None and sandboxed:
            inside = inside or sandbox.inside_process(_descendants(process.pid))
            used = sandbox.written(inside) if inside else None
            if used is not None and used >= bounds.WRITE_LIMIT - bounds.WRITE_SLACK:
                reached = bounds.BYTES
        if reached:
            return None, reached
    return None, group.reached()


def run_session(template, driver, wine_version, tree, command, work, second, sandboxed,
                hierarchy, locale=None):
    """Runs the disc's program on one version in a session of its own (in
    the locale given, else the caller's); the driver's facts, its picture,
    the bound when it was passed, and the bound of its programs when one
    was reached."""
    limit = limit_ms()
    arguments = ["C:\\" + TRIAL_FOLDER + "\\" + DRIVER_NAME, "--limit", str(limit),
                 "--version", wine_version] + (["--second"] if second else []) + \
        [f"{DRIVE}:\\", command]
    language = {"LC_ALL": locale, "LANG": locale} if locale else {}
    if _ending.is_set():
        raise SessionError("the trial was interrupted")
    group = hierarchy.group(next(_numbers))
    folder = None
    try:
        line, environment, folder = session_command(template, driver, tree, work, sandboxed,
                                                    arguments, language)
        # A group of its own, so that a session past its bound, or an
        # interrupted one, is ended whole, and nothing else.
        process = subprocess.Popen(group.wrap(["prlimit", "--core=0", "--"] + line),
                                   env=environment, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        output = Output(process.stdout)
        try:
            seconds, stopped = _watch(process, output, group, sandboxed,
                                      limit * SESSION_STEPS / 1000)
            if seconds or stopped or _ending.is_set():
                _end_session(process, group, sandboxed)
            else:
                group.kill()
            drained = time.monotonic() + DRAIN_SECONDS
            while not output.read(POLL_SECONDS) and time.monotonic() < drained:
                pass
        finally:
            if process.poll() is None:
                _end_session(process, group, sandboxed)
            process.stdout.close()
        if _ending.is_set():
            raise SessionError("the trial was interrupted")
        facts, shot = parse_output(output.data())
        if stopped and "appeared" not in facts:
            facts = dict(facts, appeared="stopped")
        elif seconds is not None or "appeared" not in facts:
            facts = dict(facts, appeared="timeout")
    finally:
        group.remove()
        if folder:
            kept = remove_session(folder)
            if kept:
                print(f"try-disc: warning: could not remove a session's folder: {shown(kept)}",
                      file=sys.stderr)
    return SessionResult(facts, shot, seconds, stopped)


def remove_session(folder, limit=GONE_SECONDS):
    """Removes a session's (or the trial's) folder, whatever its programs
    made in it. An ended session's last programs are waited for before,
    but the removal is tried again until the folder is gone, within the
    limit (seconds). Returns None when it is gone, else what kept it."""
    deadline = time.monotonic() + limit
    while True:
        kept = remove_tree(folder)
        if kept is None or time.monotonic() > deadline:
            return kept
        time.sleep(0.1)
