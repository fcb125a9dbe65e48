"""One Windows version in a fresh Wine session: the version set for the
whole prefix, the version's tree served as a CD-ROM drive, Wine's server
started anew, and the trial's driver run against the disc's program.
Wine is configured only through the test bed's wine-config.sh, which
writes each setting in the registry view that its reader uses."""
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
WINE_CONFIG = os.path.join(PROJECT, "tests", "wine", "wine-config.sh")
PREFIX_SETUP = os.path.join(PROJECT, "tests", "wine", "prefix-setup.sh")
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
DRIVE = "R"
# How long a program may take to show something, and each later step:
# under qemu's emulation of 32-bit code a process start takes a minute.
LIMIT_MS = 30000
EMULATED_LIMIT_MS = 300000
EMULATED_32BIT = "/proc/sys/fs/binfmt_misc/qemu-i386"


class SessionError(Exception):
    """Wine itself failed: the trial cannot go on."""


def wine_environment(prefix):
    environment = dict(os.environ)
    environment.update(WINEPREFIX=prefix, TARNELL_WINEPREFIX=prefix, WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=")
    return environment


def limit_ms():
    return EMULATED_LIMIT_MS if os.path.exists(EMULATED_32BIT) else LIMIT_MS


def windows_path(path):
    """A host path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_checked(command, environment, what, timeout=600):
    try:
        result = subprocess.run(command, env=environment, capture_output=True, text=True,
                                timeout=timeout)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise SessionError(f"{what} failed: {error}")
    if result.returncode != 0:
        detail = (result.stderr or result.stdout).strip().splitlines()
        raise SessionError(f"{what} failed" + (f": {detail[-1]}" if detail else ""))
    return result


def prepare_prefix(prefix):
    """Creates the trial's prefix when missing, set up as the tests' is."""
    run_checked(["sh", PREFIX_SETUP], wine_environment(prefix), "setting up the Wine prefix")


def end_session(prefix):
    subprocess.run([WINESERVER, "-k"], env=wine_environment(prefix), capture_output=True)
    subprocess.run([WINESERVER, "-w"], env=wine_environment(prefix), capture_output=True)


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


def try_version(prefix, driver, wine_version, tree_folder, command, work, second=False):
    """Runs the disc's program on one version; returns the driver's facts
    and the path of the picture (which may be missing)."""
    environment = wine_environment(prefix)
    config = ["sh", WINE_CONFIG]
    # Serving the drive starts Wine's server anew: the session is fresh.
    run_checked(config + ["set", "HKCU\\Software\\Wine", "Version", wine_version], environment,
                f"setting Windows version {wine_version}")
    run_checked(config + ["drive", DRIVE, tree_folder, "cdrom"], environment,
                f"serving the disc as drive {DRIVE}:")
    result = os.path.join(work, wine_version + ".txt")
    shot = os.path.join(work, wine_version + ".bmp")
    limit = limit_ms()
    arguments = [WINE64, driver, f"{DRIVE}:\\", command, windows_path(result),
                 windows_path(shot), str(limit)] + (["second"] if second else [])
    try:
        subprocess.run(arguments, env=environment, capture_output=True, timeout=limit * 5 / 1000 + 60)
    except subprocess.TimeoutExpired:
        pass
    except OSError as error:
        raise SessionError(f"starting Wine failed: {error}")
    finally:
        end_session(prefix)
    try:
        with open(result, encoding="cp1252", errors="replace") as source:
            facts = parse_result(source.read())
    except OSError:
        facts = {"appeared": "timeout"}
    return facts, shot


def drop_drive(prefix):
    subprocess.run(["sh", WINE_CONFIG, "drop-drive", DRIVE], env=wine_environment(prefix),
                   capture_output=True)
