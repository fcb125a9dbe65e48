"""The designer's preview: the launcher the design describes, built as
make-disc builds it (publish.make_disc.launcher_for) and run under Wine as
a user would see it, title bar and all, in each language it carries.

The launcher runs in a Wine session of the designer's own (wine/session.sh:
a clone of the trial's prefix, its own Xvfb and Wine server), kept open
while the designer runs, so that a preview costs the launcher's start
alone (half a second a language) rather than a session's. Every program
of the session opens in one Wine virtual desktop, which draws the
window's frame. The showcase tool (a 64-bit Windows program, beside the
trial's driver) starts the launcher, saves a picture of its window and
presses Don't Install. The user's language is the process's own: each
language's launcher starts under its locale (LC_ALL).

The session takes its commands through a FIFO (a program that session.sh
runs in the background has /dev/null as its standard input) and answers
each with one line on its standard output, read within a bound."""
import os
import select
import subprocess
import time
from dataclasses import dataclass, field

from PIL import Image

from disctrial.session import EMULATED_32BIT, limit_ms
from disctrial.texts import code_name, locale_for
from hostlib import Refusal, check_interrupted
from launcher.contract import LAUNCHER
from publish.make_disc import DISC_BUILD, PREVIEW64_BUILD, launcher_for
from wine import winelayer

# The launcher's window class, which the showcase waits for.
WINDOW_CLASS = LAUNCHER.window_class
LAUNCHER_NAME = "TARNELL.EXE"
DESKTOP = "800x600"
SCREEN = DESKTOP + "x24"
# How long the session may take to start, and the launcher to show its
# window and be pictured (as the trial waits: 30 s, five minutes where
# 32-bit code runs under emulation): past that it showed a box instead, or
# Wine hung, and the session is ended (the next preview starts another).
SHOW_SECONDS = limit_ms() / 1000
START_SECONDS = 2 * SHOW_SECONDS
POLL_SECONDS = 0.1
# Wine's setting in the trial's prefix (wine/prefix-setup.sh), and the
# system it reports.
PREFIX_SETTING = "winxp"
PREFIX_SYSTEM = "xp"
# The session: every program in one virtual desktop of the screen's size,
# opened now and kept; then a command a line from the FIFO, each answered
# "done CODE": "version SETTING" (Wine's Windows version) and "show
# LOCALE LAUNCHER PICTURE CODE-FILE" (the launcher in the user's language
# of the locale, pictured). Tab-separated, as the paths may hold spaces.
SESSION_SCRIPT = r"""set -u
wine_layer=$1 showcase=$2 class=$3 commands=$4
. "$wine_layer/wine-env.sh"
config() { sh "$wine_layer/wine-config.sh" "$@" >/dev/null 2>&1; }
config set 'HKCU\Software\Wine\Explorer' Desktop Default
config set 'HKCU\Software\Wine\Explorer\Desktops' Default "$DESKTOP"
"$WINE64" explorer /desktop=Default,"$DESKTOP" >/dev/null 2>&1 &
exec 3<"$commands"
echo ready
tab=$(printf '\t')
while IFS=$tab read -r command a b c d <&3; do
    case $command in
        version) config set 'HKCU\Software\Wine' Version "$a"; echo "done $?" ;;
        show) LC_ALL=$a "$WINE64" "$showcase" "$b" "$class" "$c" "$d" tab enter >/dev/null 2>&1
              echo "done $?" ;;
        *) echo "done 2" ;;
    esac
done
"$WINESERVER" -k 2>/dev/null || true
"""


class PreviewError(Exception):
    """The preview could not be drawn: one line for the page."""


class Superseded(Exception):
    """A newer design came, or the designer is ending: this preview is of
    no use any more."""


@dataclass
class Picture:
    code: str           # the language's ISO 639-1 code
    language: str       # its name
    path: str           # the PNG


@dataclass
class Drawn:
    pictures: list
    system: str                         # the Windows version shown
    findings: dict = field(default_factory=dict)    # lines by field ("splash", "icon")
    seconds: float = 0.0                # the whole preview's
    building: float = 0.0               # the launcher's build's


class Session:
    """The preview's Wine session, started once and kept; ended when it
    fails a bound, and at the designer's end."""

    def __init__(self, showcase, template, folder, work):
        self.showcase, self.template, self.folder = showcase, template, folder
        self.fifo = os.path.join(work, "session-commands")
        self.process = None
        self.writer = None
        self.setting = PREFIX_SETTING
        self.pending = b""

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def start(self):
        """Starts the session and waits until it takes commands."""
        self.close()
        if os.path.exists(self.fifo):
            os.unlink(self.fifo)
        os.mkfifo(self.fifo, 0o600)
        command = ["sh", winelayer.SESSION, "--template", self.template, "--folder", self.folder,
                   "--screen", SCREEN, "--", "sh", "-c", SESSION_SCRIPT, "preview",
                   winelayer.HERE, self.showcase, WINDOW_CLASS, self.fifo]
        environment = dict(os.environ, DESKTOP=DESKTOP)
        environment.pop("LC_ALL", None)
        self.process = subprocess.Popen(command, env=environment, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        self.setting, self.pending = PREFIX_SETTING, b""
        deadline = time.monotonic() + START_SECONDS
        # The FIFO opens for writing once the session opened it for reading.
        while self.writer is None:
            try:
                self.writer = os.open(self.fifo, os.O_WRONLY | os.O_NONBLOCK | os.O_CLOEXEC)
            except OSError:
                self.wait_a_little(deadline, "start")
        os.set_blocking(self.writer, True)
        if self.answer(deadline, "start") != "ready":
            self.close()
            raise PreviewError("the preview's Wine session did not start")

    def wait_a_little(self, deadline, what):
        check_interrupted()
        if not self.alive():
            self.close()
            raise PreviewError(f"the preview's Wine session ended ({what})")
        if time.monotonic() > deadline:
            self.close()
            raise PreviewError(f"the preview's Wine session did not {what} within its bound")
        time.sleep(POLL_SECONDS)

    def answer(self, deadline, what):
        """The session's next line, within the deadline."""
        while b"\n" not in self.pending:
            check_interrupted()
            if time.monotonic() > deadline:
                self.close()
                raise PreviewError(f"the launcher showed no window within {SHOW_SECONDS:.0f} s"
                                   if what == "show" else
                                   f"the preview's Wine session did not {what} in time")
            ready, _, _ = select.select([self.process.stdout], [], [], POLL_SECONDS)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 4096)
                if not chunk:
                    self.close()
                    raise PreviewError(f"the preview's Wine session ended ({what})")
                self.pending += chunk
        line, _, self.pending = self.pending.partition(b"\n")
        return line.decode(errors="replace").strip()

    def command(self, what, *arguments, seconds=SHOW_SECONDS):
        if any("\t" in argument or "\n" in argument for argument in arguments):
            raise PreviewError("a path of the preview holds a tab or a line break")
        if not self.alive():
            self.start()
        try:
            os.write(self.writer, ("\t".join((what,) + arguments) + "\n").encode())
        except OSError:
            self.close()
            raise PreviewError("the preview's Wine session ended") from None
        line = self.answer(time.monotonic() + seconds, what)
        return int(line.split()[1]) if line.startswith("done ") and line[5:].isdigit() else -1

    def show(self, setting, locale, launcher, shot):
        """The launcher pictured under Wine's Windows version setting, in
        the locale's language."""
        if setting != self.setting:
            self.command("version", setting)
            self.setting = setting
        return self.command("show", locale, winelayer.windows_path(launcher),
                            winelayer.windows_path(shot), winelayer.windows_path(shot + ".code"))

    def close(self):
        """Ends the session: asked (it ends its Wine, display and folder),
        then made to."""
        if self.writer is not None:
            os.close(self.writer)
            self.writer = None
        if self.process is not None:
            try:
                self.process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                winelayer.end_group(self.process, wait=5)
            self.process.stdout.close()
            self.process = None
        if os.path.exists(self.fifo):
            os.unlink(self.fifo)


def shown_system(systems_text):
    """(Wine's setting, the system's name) under which the launcher of the
    list shows its window: Windows XP, the prefix's own, when it accepts
    it, else the newest system of the list that Wine offers; PreviewError
    when Wine offers none of them."""
    names = [name.strip().lower() for name in (systems_text or "").split(",") if name.strip()]
    if not names or PREFIX_SYSTEM in names:
        return PREFIX_SETTING, LAUNCHER.system(PREFIX_SYSTEM).shown
    offered = [system for system in LAUNCHER.systems if system.name in names and system.wine]
    if not offered:
        raise PreviewError("Wine offers none of the systems this launcher accepts "
                           f"({', '.join(names)}), so it cannot be shown")
    return offered[-1].setting, offered[-1].shown


def findings_of(lines):
    """What the picture converters said, by the field of their picture."""
    found = {"splash": [], "icon": []}
    for line in lines:
        option, _, text = line.partition(": ")
        if option in ("--splash", "--icon"):
            found[option[2:]].append(text)
    return found


def preview_build():
    """The build the preview runs: the disc's 32-bit launcher, or where
    32-bit code runs only under emulation (a minute a start) the same
    sources built 64-bit, which draw the same window at native speed."""
    return PREVIEW64_BUILD if os.path.exists(EMULATED_32BIT) else DISC_BUILD


def draw(options, folder, session, superseded, step=lambda text: None):
    """The preview of the options into folder: the launcher built there,
    then a picture of its window per language, in the session.
    superseded() says when the preview is of no use any more (Superseded
    is raised then); step(text) hears what it is doing. A refusal of
    make-disc's is raised as it is, with what the converters found."""
    started = time.monotonic()
    lines = []

    def report(kind, text, fraction=None):
        if kind == "line":
            lines.append(text)
        elif kind == "step":
            step(text)

    os.makedirs(folder, exist_ok=True)
    launcher = os.path.join(folder, LAUNCHER_NAME)
    try:
        launcher_for(options, launcher, report, preview_build())
    except Refusal as error:
        error.findings = findings_of(lines)
        raise
    built = time.monotonic()
    setting, system = shown_system(options.systems)
    step(f"showing the launcher under Wine as {system} shows it")
    pictures = []
    for code in ["en"] + [code for code in (options.languages or "").split(",") if code]:
        if superseded():
            raise Superseded()
        locale = locale_for(code)
        if locale is None:
            raise PreviewError(f"this machine has no locale for {code_name(code)} "
                               "(install locales-all)")
        shot, png = os.path.join(folder, f"{code}.bmp"), os.path.join(folder, f"{code}.png")
        session.show(setting, locale, launcher, shot)
        to_png(shot, png, code)
        pictures.append(Picture(code, code_name(code), png))
    return Drawn(pictures, system, findings_of(lines), time.monotonic() - started,
                 built - started)


def to_png(bmp, png, code):
    """The showcase's BMP as a PNG, read only as a picture no larger than
    the session's screen."""
    width, height = (int(side) for side in DESKTOP.split("x"))
    try:
        with Image.open(bmp) as picture:
            if picture.format != "BMP" or picture.width > width or picture.height > height:
                raise PreviewError(f"the picture of the launcher in {code_name(code)} is no "
                                   "window's picture")
            picture.convert("RGB").save(png + ".partial", "PNG")
    except OSError:
        raise PreviewError(f"the launcher in {code_name(code)} showed no window "
                           "(no picture was taken)") from None
    os.replace(png + ".partial", png)
    os.unlink(bmp)
