#!/usr/bin/python3
"""Times the disc trial of the sample disc on all eleven Windows versions
against its floor measured in the same run: eleven fresh Wine sessions
that each start and end one program (the trial's driver, with nothing to
do), and prints both and their ratio. Runs inside an X session.
Usage: bench_try_disc.py LAUNCHER AUTORUN SETUP DRIVER WORK_DIR"""
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
sys.path.insert(0, PROJECT)
from disc.disctrial.verdict import VERSIONS  # noqa: E402
from wine import winelayer  # noqa: E402

MAKE_IMAGE = os.path.join(PROJECT, "disc", "make_image.py")
TRY_DISC = os.path.join(PROJECT, "disc", "try_disc.py")


def main(launcher, autorun, setup, driver, work):
    shutil.rmtree(work, ignore_errors=True)
    installer = os.path.join(work, "installer")
    os.makedirs(installer)
    shutil.copy(setup, os.path.join(installer, "SETUP.EXE"))
    image = os.path.join(work, "sample.iso")
    subprocess.run([sys.executable, MAKE_IMAGE, "make", launcher, autorun, installer, image],
                   check=True, capture_output=True)
    prefix = os.path.join(work, "prefix")
    winelayer.prepare_prefix(prefix)

    started = time.monotonic()
    for _ in VERSIONS:
        winelayer.end_server(prefix)
        subprocess.run([winelayer.WINE64, driver], env=winelayer.environment(prefix),
                       capture_output=True)
    winelayer.end_server(prefix)
    floor = time.monotonic() - started

    started = time.monotonic()
    result = subprocess.run([sys.executable, TRY_DISC, "--driver", driver,
                             "--prefix", os.path.abspath(prefix),
                             "--output", os.path.join(work, "try"), image],
                            capture_output=True, text=True)
    trial = time.monotonic() - started
    if result.returncode != 0:
        print(result.stdout + result.stderr)
        return 1
    print(f"[ bench    ] disc trial, {len(VERSIONS)} versions: {trial:.1f} s "
          f"({trial / len(VERSIONS):.1f} s a version); {len(VERSIONS)} bare Wine sessions: "
          f"{floor:.1f} s; ratio {trial / floor:.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
