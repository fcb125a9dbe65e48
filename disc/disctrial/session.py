"""One Windows version in a fresh Wine session: the version set for the
whole prefix, the version's tree served as a CD-ROM drive, Wine's server
started anew, and the trial's driver run against the disc's program.
Wine is configured only through the Wine layer (wine/winelayer.py), which
writes each setting in the registry view that its reader uses."""
import os
import subprocess

from wine import winelayer
from wine.winelayer import WINE64, WineError as SessionError, windows_path  # noqa: F401

DRIVE = "R"
# How long a program may take to show something, and each later step:
# under qemu's emulation of 32-bit code a process start takes a minute.
LIMIT_MS = 30000
EMULATED_LIMIT_MS = 300000
EMULATED_32BIT = "/proc/sys/fs/binfmt_misc/qemu-i386"


def limit_ms():
    return EMULATED_LIMIT_MS if os.path.exists(EMULATED_32BIT) else LIMIT_MS


prepare_prefix = winelayer.prepare_prefix
end_session = winelayer.end_server


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
    environment = winelayer.environment(prefix)
    # Serving the drive starts Wine's server anew: the session is fresh.
    winelayer.config(prefix, "set", "HKCU\\Software\\Wine", "Version", wine_version)
    winelayer.config(prefix, "drive", DRIVE, tree_folder, "cdrom")
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
    try:
        winelayer.config(prefix, "drop-drive", DRIVE)
    except SessionError:
        pass
