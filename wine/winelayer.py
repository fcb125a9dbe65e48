"""The Wine layer for the Python tools (the disc trial, the benchmarks):
the loaders and the environment of wine.env, a prefix made and set up by
prefix-setup.sh, its settings changed by wine-config.sh, which writes each
one in the registry view that its reader uses, and its server ended.

    from wine import winelayer  # with the project's root on sys.path
    environment = winelayer.environment(prefix)
    winelayer.prepare_prefix(prefix)
    winelayer.config(prefix, "set", "HKCU\\\\Software\\\\Wine", "Version", "winxp")
"""
import os
import signal
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
PREFIX_SETUP = os.path.join(HERE, "prefix-setup.sh")
WINE_CONFIG = os.path.join(HERE, "wine-config.sh")


class WineError(Exception):
    """Wine itself failed, or a prefix could not be made or configured."""


def read_settings(path=os.path.join(HERE, "wine.env")):
    """{NAME: VALUE} of wine.env."""
    settings = {}
    with open(path, encoding="utf-8") as source:
        for line in source:
            line = line.strip()
            if line and not line.startswith("#"):
                name, _, value = line.partition("=")
                settings[name] = value
    return settings


SETTINGS = read_settings()
WINE64 = SETTINGS["WINE64"]
WINE32 = SETTINGS["WINE32"]
WINESERVER = SETTINGS["WINESERVER"]
# The system folders a session's prefix shares with its template.
LINKED_FOLDERS = tuple(SETTINGS["PREFIX_LINKED_FOLDERS"].split(":"))
CLONE_PREFIX = os.path.join(HERE, "clone-prefix.sh")
SESSION = os.path.join(HERE, "session.sh")


def environment(prefix, base=None):
    """The environment of a Wine session in the prefix (an absolute path:
    Wine refuses a relative one)."""
    env = dict(os.environ if base is None else base)
    prefix = os.path.abspath(prefix)
    env.update(WINEPREFIX=prefix, TARNELL_WINEPREFIX=prefix,
               WINEDEBUG=SETTINGS["WINEDEBUG"], WINEDLLOVERRIDES=SETTINGS["WINEDLLOVERRIDES"])
    return env


def end_group(process, wait=30):
    """Ends a process group started by the layer: asked first (a session
    ends its display and server then), then made to."""
    for number in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, number)
        except ProcessLookupError:
            break
        try:
            process.communicate(timeout=wait)
            break
        except subprocess.TimeoutExpired:
            continue
    process.wait()


def run_checked(command, env, what, timeout=900):
    """Runs a command of the layer in a process group of its own; WineError
    with its last line when it fails. Interrupted, it asks the group to
    end (a session ends its display and server then) before it goes on."""
    try:
        process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True, start_new_session=True)
    except OSError as error:
        raise WineError(f"{what} failed: {error}") from None
    try:
        out, err = process.communicate(timeout=timeout)
    except BaseException as error:
        end_group(process)
        if isinstance(error, subprocess.TimeoutExpired):
            raise WineError(f"{what} failed: it took more than {timeout} s") from None
        raise
    if process.returncode != 0:
        detail = (err or out).strip().splitlines()
        raise WineError(f"{what} failed" + (f": {detail[-1]}" if detail else ""))
    return out


def prepare_prefix(prefix):
    """Makes the prefix when it is missing and sets it up, in a session of
    its own (a display, a server ended at the end)."""
    run_checked(["sh", SESSION, "--", "sh", PREFIX_SETUP], environment(prefix),
                "setting up the Wine prefix")


def config(prefix, *arguments):
    """One change of wine-config.sh in the prefix, in a session of its
    own."""
    run_checked(["sh", SESSION, "--", "sh", WINE_CONFIG, *arguments], environment(prefix),
                "configuring Wine (" + " ".join(arguments[:1]) + ")")


def clone_prefix(template, prefix):
    """A prefix of a session's own, cloned from the template."""
    run_checked(["sh", CLONE_PREFIX, template, prefix], dict(os.environ),
                "cloning the Wine prefix")


def end_server(prefix):
    """Ends the prefix's own server and waits for it: every program of that
    session ends with it, and nothing of another prefix."""
    env = environment(prefix)
    subprocess.run([WINESERVER, "-k"], env=env, capture_output=True)
    subprocess.run([WINESERVER, "-w"], env=env, capture_output=True)


def windows_path(path):
    """A host path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")
