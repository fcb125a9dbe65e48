#!/usr/bin/python3
"""The disc command: the publisher's whole path from the command line to
a verified image, in one place.

    make_disc.py [--installer DIR] [--label TEXT] [--output FILE]
                 [--product WORD --company TEXT --copyright TEXT] [--version A.B.C]
                 [--splash PICTURE] [--icon PICTURE] [--languages LIST]
                 [--language-file CODE=FILE]... [--systems LIST] [--autoplay-text TEXT]
                 [--sign FILE [--sign-password-file FILE] [--timestamp URL]]
                 [--previews DIR] [--try]

The publisher's input is checked once, every part of it before anything
is built, and flows one way: the brand's texts, languages and systems
(brand/make_brand.py) and its pictures (brand/art) become the brand's
files in build/disc/brand/tarnell; CMake builds the launcher from them as
they are (preset "disc", TARNELL_BRAND_MADE); the image's file name and
label are made once, from the product word and the version
(discimage.names.disc_names), and its AUTORUN.INF by the disc tools; the
image maker writes and verifies the image (disc/make_image.py); --try
tries it on every Windows version (disc/try_disc.py). With --sign the
launcher is signed with the publisher's certificate before the image is
made (disc/discimage/authenticode.py), and the image maker checks the
signature on the written disc; the certificate's password comes from a
file or from TARNELL_SIGN_PASSWORD, and stays in this process's memory.

As a module, for the designer and the tests:

    from publish.make_disc import DiscOptions, make_disc
    result = make_disc(DiscOptions(product="Heron Atlas", ...), report)

make_disc() takes the options and reports through report(kind, text,
fraction): "line" (what the publisher reads), "step" (the step begun),
"progress" (a step's fraction done); it returns a DiscResult or raises
one Refusal. The command line: exit code 0 with a verified image, 1 for a
refusal or a fault (one line), 2 for a wrong command line (one line), 130
or 143 when interrupted, with nothing half-written.
"""
import contextlib
import datetime
import fcntl
import os
import signal
import subprocess
import sys
from dataclasses import dataclass, field

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
sys.path.insert(0, PROJECT)
sys.path.insert(0, os.path.join(PROJECT, "disc"))
import hostlib  # noqa: E402
from hostlib import Refusal, Relayed  # noqa: E402

NAME = "make-disc"
PYTHON = "/usr/bin/python3"
SETUP = os.path.join(PROJECT, "scripts", "setup.sh")


@dataclass(frozen=True)
class LauncherBuild:
    """A build of the brand's launcher: its folder and CMake preset, the
    brand's files in it, and the launcher it makes."""
    folder: str
    preset: str
    targets: tuple

    @property
    def brand(self):
        return os.path.join(self.folder, "brand", "tarnell")

    @property
    def previews(self):
        return os.path.join(self.brand, "previews")

    @property
    def launcher(self):
        return os.path.join(self.folder, "launcher", "Tarnell.exe")


# The disc's launcher, 32-bit, with the sample disc's stand-in installer;
# and the same sources built 64-bit, which a preview runs where the
# machine runs 32-bit code only under emulation (a minute a start).
DISC_BUILD = LauncherBuild(os.path.join(PROJECT, "build", "disc"), "disc",
                           ("tarnell", "setup_sample"))
PREVIEW64_BUILD = LauncherBuild(os.path.join(PROJECT, "build", "disc64"), "disc64",
                                ("tarnell",))
BUILD = DISC_BUILD.folder
SIGNED_LAUNCHER = os.path.join(BUILD, "launcher", "Tarnell-signed.exe")
# The sample disc's stand-in installer, and the folder it is the installer
# of when none is given.
SAMPLE_SETUP = os.path.join(BUILD, "disc-build", "SETUP.exe")
SAMPLE_INSTALLER = os.path.join(BUILD, "sample-installer")
ART = os.path.join(PROJECT, "brand", "art")
KELMORA_ART = os.path.join(PROJECT, "brand", "kelmora")
TRY_TOOLS = os.path.join(PROJECT, "build", "try-tools")
TRIAL_DRIVER = os.path.join(TRY_TOOLS, "tools", "trial_driver.exe")
TRIAL_PREFIX = os.path.join(PROJECT, "build", "try-prefix")
# How long a step is given to end when asked, before it is made to, and
# how often a step's wait looks whether the command was interrupted.
STEP_ENDING_SECONDS = 5
POLL_SECONDS = 0.5

USAGE = """usage: make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
                   [--product WORD --company TEXT --copyright TEXT] [--version A.B.C]
                   [--splash PICTURE] [--icon PICTURE] [--languages LIST]
                   [--language-file CODE=FILE]... [--systems LIST] [--autoplay-text TEXT]
                   [--sign FILE [--sign-password-file FILE] [--timestamp URL]]
                   [--previews DIR] [--try]"""
# Where the certificate's password may come from besides a file.
PASSWORD_VARIABLE = "TARNELL_SIGN_PASSWORD"


@dataclass
class DiscOptions:
    """What the publisher gives; None (or empty) where nothing is given.
    Paths are taken from where the command was given."""
    installer: str | None = None
    label: str | None = None
    output: str | None = None
    product: str | None = None
    version: str | None = None
    company: str | None = None
    copyright: str | None = None
    splash: str | None = None
    icon: str | None = None
    languages: str | None = None
    language_files: list = field(default_factory=list)
    systems: str | None = None
    autoplay_text: str | None = None
    sign: str | None = None             # the PKCS#12 file
    sign_password: str | None = field(default=None, repr=False)
    sign_password_file: str | None = None
    timestamp: str | None = None        # an RFC 3161 server's URL
    previews: str | None = None
    try_disc: bool = False


@dataclass
class DiscResult:
    image: object               # make_image.ImageResult
    previews: list              # the preview files written
    trial: tuple | None = None  # (the report's text, whether every version kept the promise)


# --- The command line ----------------------------------------------------------

# Options with a value, by their DiscOptions field.
VALUED = {"--installer": "installer", "--label": "label", "--output": "output",
          "--product": "product", "--version": "version", "--company": "company",
          "--copyright": "copyright", "--splash": "splash", "--icon": "icon",
          "--languages": "languages", "--systems": "systems", "--previews": "previews",
          "--autoplay-text": "autoplay_text", "--sign": "sign",
          "--sign-password-file": "sign_password_file", "--timestamp": "timestamp"}
REPEATED = {"--language-file": "language_files"}
FLAGS = {"--try": "try_disc"}


class CommandLineError(Exception):
    """A wrong command line: one line, exit code 2."""


def parse_command_line(arguments):
    """The DiscOptions of a command line, or CommandLineError; None when
    the usage was asked for."""
    options = DiscOptions()
    given = list(arguments)
    while given:
        argument = given.pop(0)
        if argument in ("-h", "--help"):
            return None
        if argument in FLAGS:
            setattr(options, FLAGS[argument], True)
            continue
        if not argument.startswith("--"):
            raise CommandLineError(f"not an option: {argument}")
        option, equals, value = argument.partition("=")
        if option not in VALUED and option not in REPEATED:
            raise CommandLineError(f"no such option: {option}")
        if not equals:
            if not given or given[0].startswith("--"):
                raise CommandLineError(f"{option} needs a value")
            value = given.pop(0)
        if option in REPEATED:
            code, equals, path = value.partition("=")
            # The path is taken from where the command was given.
            getattr(options, REPEATED[option]).append(
                f"{code}={os.path.abspath(path)}" if equals and path else value)
        else:
            setattr(options, VALUED[option], value)
    for option in ("--sign-password-file", "--timestamp"):
        if getattr(options, VALUED[option]) is not None and options.sign is None:
            raise CommandLineError(f"{option} goes with --sign, the certificate to sign with")
    # A branded launcher never carries another company's name: with a
    # product of its own the publisher names theirs, or gives it empty.
    if options.product is not None:
        for name in ("company", "copyright"):
            if getattr(options, name) is None:
                raise CommandLineError(f"--product needs --{name} too, so that no other "
                                       f"company's line is carried (--{name} '' leaves it out)")
    return options


# --- Steps run as programs ------------------------------------------------------

def run_step(command, capture=False):
    """Runs a program as a step of its own (a session of its own, so that
    an interrupt reaches it only through this process, which ends it and
    waits for it: our tools then remove what they were writing). Returns
    its CompletedProcess; with capture, its output is kept, else shown."""
    output = subprocess.PIPE if capture else None
    process = subprocess.Popen(command, stdout=output, stderr=output, text=True,
                               errors="replace", start_new_session=True)
    try:
        while True:
            try:
                out, err = process.communicate(timeout=POLL_SECONDS)
                break
            except subprocess.TimeoutExpired:
                hostlib.check_interrupted()
    except BaseException:
        for number in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(process.pid, number)
                process.wait(timeout=STEP_ENDING_SECONDS)
                break
            except (OSError, subprocess.TimeoutExpired):
                continue
        raise
    return subprocess.CompletedProcess(command, process.returncode, out, err)


def tool_step(command, report, quiet=False):
    """Runs one of our tools as a step: its lines reported (unless quiet),
    its refusal (its last line on stderr) raised as ours."""
    result = run_step(command, capture=True)
    if not quiet:
        for line in result.stdout.splitlines():
            report("line", line)
    if result.returncode != 0:
        last = (result.stderr.strip().splitlines() or [f"exit code {result.returncode}"])[-1]
        raise Relayed(last)
    return result


# --- The steps ---------------------------------------------------------------------

def kelmora_texts():
    from brand.make_brand import kelmora_brand
    return kelmora_brand()


def brand_texts(options):
    """The brand's four texts, KELMORA's where not given."""
    kelmora = kelmora_texts()
    return {key: getattr(options, key) if getattr(options, key) is not None else kelmora[key]
            for key in ("product", "version", "company", "copyright")}


def check_input(options):
    """Every check of what the publisher gave, before anything is built:
    the label, the installer folder and the output, then the brand's texts,
    languages and systems, AutoPlay's words and the certificate to sign
    with. Returns the brand's files, its stale ones, and the signer (None
    when the launcher is not signed)."""
    from make_image import check_arguments
    from brand.codepage import windows_1252
    from brand.make_brand import brand_files
    check_arguments(options.label, options.installer, options.output)
    # To CMake an empty list is no list: an empty --systems is refused here.
    if options.systems is not None and not options.systems.strip():
        raise Refusal("the list names no system", repr(options.systems), "--systems")
    texts = brand_texts(options)
    files, stale = brand_files(texts["product"], texts["version"], texts["company"],
                               texts["copyright"], options.languages or "",
                               options.language_files, options.systems, names="options")
    if options.autoplay_text is not None:
        check_autoplay_text(options.autoplay_text, windows_1252)
    return files, stale, check_signing(options)


def check_autoplay_text(text, windows_1252):
    """AutoPlay's words: a line of the launcher's code page, as its texts."""
    from launcher.contract import LAUNCHER
    setting = "--autoplay-text"
    if not text.strip():
        raise Refusal("the AutoPlay text is empty", repr(text), setting)
    windows_1252(setting, text)
    if len(text) > LAUNCHER.text_limit:
        raise Refusal(f"the AutoPlay text holds at most {LAUNCHER.text_limit} characters",
                      repr(text), setting)


def signing_moment():
    """The signing time: SOURCE_DATE_EPOCH when set (so that the same
    inputs sign to the same bytes), else now; as a Unix time or None."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    return int(epoch) if epoch and epoch.isdigit() else None


def signing_password(options):
    """The certificate's password: given, read from its file (without the
    line end a file has), or from TARNELL_SIGN_PASSWORD; None when none."""
    if options.sign_password is not None:
        return options.sign_password
    if options.sign_password_file is not None:
        try:
            with open(options.sign_password_file, "rb") as source:
                text = source.read().decode("utf-8")
        except (OSError, UnicodeError) as error:
            raise Refusal("the password file cannot be read" +
                          (f" ({error.strerror})" if isinstance(error, OSError) else
                           " as UTF-8 text"), repr(options.sign_password_file),
                          "--sign-password-file") from None
        return text[:-2] if text.endswith("\r\n") else text[:-1] if text.endswith("\n") else text
    return os.environ.get(PASSWORD_VARIABLE)


def check_signing(options):
    """The certificate checked for signing now and at the signing time;
    its Signer, or None without --sign."""
    if options.sign is None:
        return None
    from discimage.authenticode import check_certificate
    now = datetime.datetime.now(datetime.timezone.utc)
    moment = signing_moment()
    moments = [now] + ([datetime.datetime.fromtimestamp(moment, datetime.timezone.utc)]
                       if moment is not None else [])
    options.sign_password = signing_password(options)
    return check_certificate(os.path.abspath(options.sign), options.sign_password, moments)


def make_pictures(options, texts, has_languages, report, build):
    """The splash and the icon in the brand's folder, with their previews:
    the publisher's pictures converted (what the converters find is said
    each time a picture given is used), or the product's own splash, which
    make_splash.py draws for its word and version (KELMORA's own picture
    for KELMORA's), and KELMORA's icon."""
    brand = build.brand
    buttons = ["--buttons", os.path.join(brand, "buttons.txt")] if has_languages else []
    splash = [PYTHON, os.path.join(ART, "make_splash.py"), "--setting=--splash",
              "--previews", build.previews] + buttons
    if options.splash is not None:
        tool_step(splash + [os.path.abspath(options.splash), os.path.join(brand, "splash.bmp")],
                  report)
    else:
        tool_step(splash + ["--draw", "--product", texts["product"], "--version",
                            texts["version"], os.path.join(brand, "splash.bmp")], report,
                  quiet=True)
    icon = [PYTHON, os.path.join(ART, "make_icon.py"), "--setting=--icon",
            "--preview", os.path.join(build.previews, "icon.png")]
    given = options.icon is not None
    tool_step(icon + [os.path.abspath(options.icon) if given else
                      os.path.join(KELMORA_ART, "tarnell.ico"), os.path.join(brand, "icon.ico")],
              report, quiet=not given)


def build_launcher(report, build):
    """The launcher of the brand's folder, built by CMake (the build's
    preset), and for the disc the sample disc's stand-in installer beside
    it."""
    where = os.path.relpath(build.folder, PROJECT)
    report("step", f"building the launcher in {where}")
    for command, what in (
            (["cmake", "--preset", build.preset, "-DTARNELL_BRAND_MADE=ON"],
             "CMake could not configure the launcher's build"),
            (["cmake", "--build", "--preset", build.preset, "--target", *build.targets],
             "the launcher could not be built")):
        result = run_step(["sh", "-c", 'cd "$0" && exec "$@"', PROJECT] + command, capture=True)
        if result.returncode != 0:
            for line in (result.stdout + result.stderr).splitlines():
                print(line, file=sys.stderr)
            raise Refusal(what, where)


def copy_previews(folder, codes):
    """The previews, each written whole, into the publisher's folder; their
    names."""
    from hostlib.files import write_files
    names = ["splash.png", "splash-after-colour-change.png", "icon.png"] + \
        [f"splash-{code}.png" for code in codes]
    files = {}
    for name in names:
        with open(os.path.join(DISC_BUILD.previews, name), "rb") as source:
            files[os.path.join(folder, name)] = source.read()
    os.makedirs(folder, exist_ok=True)
    write_files(files)
    return names


def language_codes(files):
    """The codes of the languages the brand carries, in its order."""
    lines = files.get("buttons.txt", b"").decode("utf-8").splitlines()
    return [line.split("\t")[0] for line in lines if line]


def try_image(image, report):
    """The trial of the image on every Windows version: (its report's text,
    whether every version kept the launcher's promise)."""
    report("step", "building the trial's driver in build/try-tools")
    result = run_step(["sh", "-c", 'cd "$0" && cmake --preset try >/dev/null && '
                       'cmake --build --preset try --target trial_driver >/dev/null', PROJECT])
    if result.returncode != 0:
        raise Refusal("the trial's driver could not be built", "build/try-tools")
    import try_disc
    return try_disc.run_trial(image, TRIAL_DRIVER, TRIAL_PREFIX, report=report)


@contextlib.contextmanager
def disc_build(report, build=DISC_BUILD):
    """A build folder for one disc command at a time: another (a second
    publisher at the designer, the tests) waits here until it is free."""
    os.makedirs(os.path.dirname(build.folder), exist_ok=True)
    with open(build.folder + ".lock", "w") as lock:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            report("step", "waiting for another disc command to finish with "
                   + os.path.relpath(build.folder, PROJECT))
            fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def build_brand(options, checked, report, build=DISC_BUILD):
    """The brand's files, its pictures and its launcher, built in the build
    (the caller holds disc_build()); checked: check_input()'s."""
    from brand.make_brand import write_brand
    files, stale, _ = checked
    write_brand(build.brand, files, stale)
    make_pictures(options, brand_texts(options), "languages.h" in files, report, build)
    build_launcher(report, build)


def launcher_for(options, destination, report=None, build=DISC_BUILD):
    """The launcher the options describe, built and copied to destination
    (unsigned): what the designer shows in its preview (PREVIEW64_BUILD
    where 32-bit code is emulated). Refusals as make_disc's."""
    from hostlib.files import write_files
    report = report or (lambda kind, text, fraction=None: None)
    checked = check_input(options)
    with disc_build(report, build):
        build_brand(options, checked, report, build)
        with open(build.launcher, "rb") as source:
            write_files({destination: source.read()})
    return checked[0]


def make_disc(options, report=None):
    """Makes the disc the options describe; its DiscResult, or one Refusal."""
    report = report or (lambda kind, text, fraction=None: None)
    from make_image import report_image
    checked = check_input(options)
    with disc_build(report):
        result = disc_of(options, checked, report)
    report_image(result.image, lambda line: report("line", line))
    if options.try_disc:
        result.trial = try_image(result.image.output, report)
    return result


def disc_of(options, checked, report):
    """make_disc()'s work in build/disc, once the input is checked."""
    from discimage.autorun import autorun_inf
    from discimage.names import disc_names
    from discimage.progress import listening
    from hostlib.files import write_files
    from make_image import make_image

    files, _, signer = checked
    texts = brand_texts(options)
    stem, label = disc_names(texts["product"], texts["version"])
    label = options.label if options.label is not None else label
    output = os.path.abspath(options.output or os.path.join(BUILD, stem + ".iso"))
    build_brand(options, checked, report)
    previews = []
    if options.previews is not None:
        previews = copy_previews(options.previews, language_codes(files))
        report("line", f"previews: {options.previews}: {', '.join(previews)}")

    launcher, warnings = sign_launcher(options, signer, report) if signer else \
        (DISC_BUILD.launcher, [])
    autorun = os.path.join(BUILD, "AUTORUN.INF")
    write_files({autorun: autorun_inf(texts["product"], texts["version"], options.label,
                                      options.autoplay_text)}, keep_unchanged=True)
    installer = options.installer
    if installer is None:
        installer = SAMPLE_INSTALLER
        with open(SAMPLE_SETUP, "rb") as setup:
            write_files({os.path.join(installer, "SETUP.EXE"): setup.read()}, keep_unchanged=True)
    with listening(lambda what, fraction: report("progress", what, fraction)):
        image = make_image(launcher, autorun, installer, output, label,
                           signer.name if signer else None)
    image.warnings += warnings
    return DiscResult(image, previews)


def sign_launcher(options, signer, report):
    """The launcher signed with the publisher's certificate, beside the
    built one, and the warnings the image's report counts; says how much
    the signature added, and warns when no timestamp makes it outlive the
    certificate."""
    from discimage.authenticode import sign
    report("step", f"signing the launcher as {signer.name}")
    sign(DISC_BUILD.launcher, SIGNED_LAUNCHER + ".partial", os.path.abspath(options.sign),
         options.sign_password, signing_moment(), options.timestamp)
    os.replace(SIGNED_LAUNCHER + ".partial", SIGNED_LAUNCHER)
    added = os.path.getsize(SIGNED_LAUNCHER) - os.path.getsize(DISC_BUILD.launcher)
    report("line", f"signed: {signer.name}, SHA-256, the signature adds {added} bytes" +
           (f", timestamped by {options.timestamp}" if options.timestamp else ""))
    warnings = [] if options.timestamp else [
        f"the signature has no timestamp: it is trusted only while the certificate is valid, "
        f"until {signer.not_after:%Y-%m-%d}; --timestamp URL adds one"]
    return SIGNED_LAUNCHER, warnings


# --- The command ---------------------------------------------------------------------

def print_report(kind, text, fraction=None):
    if kind == "line":
        print(text, flush=True)
    elif kind == "step":
        print(f"{NAME}: {text}", flush=True)
    elif kind == "warning":
        print(text, file=sys.stderr, flush=True)


def main():
    try:
        options = parse_command_line(sys.argv[1:])
    except CommandLineError as error:
        print(f"{NAME}: {error} (make-disc.sh --help shows the options)", file=sys.stderr)
        return 2
    if options is None:
        print(USAGE)
        return 0
    # The password stays in this process: no step it starts inherits it.
    if options.sign is not None and options.sign_password_file is None:
        options.sign_password = os.environ.get(PASSWORD_VARIABLE)
    os.environ.pop(PASSWORD_VARIABLE, None)
    setup = run_step([SETUP])
    if setup.returncode != 0:
        return 1
    result = make_disc(options, print_report)
    if result.trial is None:
        return 0
    text, kept = result.trial
    if not kept:
        print(f"{NAME}: the image itself was written and verified: {result.image.output}; "
              "the trial found versions that fell short", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    hostlib.run(main, NAME)
