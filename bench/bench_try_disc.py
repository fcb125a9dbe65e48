#!/usr/bin/python3
"""Times the disc trial on every version Wine offers against its floor
measured in the same run: as many bare Wine sessions, one after another,
each starting Wine's server and one program (the trial's driver, with
nothing to do) in the trial's prefix. Prints both and their ratio, and
the trial of a disc without its SETUP.EXE beside the sample disc's: a
failing disc is no slower to judge.

Where the machine runs 32-bit code under emulation (a minute per process
start), the disc holds the 64-bit build's launcher and stand-in installer,
so that the figure is the trial's and not the emulator's; the line says
which.

Usage: bench_try_disc.py DISC_32 DISC_64 DRIVER WORK_DIR
(DISC_*: a build's disc folder, with TARNELL.EXE, AUTORUN.INF, SETUP.EXE)"""
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
sys.path.insert(0, PROJECT)
sys.path.insert(0, os.path.join(PROJECT, "disc"))
from wine import winelayer  # noqa: E402
from disctrial.session import EMULATED_32BIT, prepare_template  # noqa: E402
from disctrial.verdict import VERSIONS  # noqa: E402

MAKE_IMAGE = os.path.join(PROJECT, "disc", "make_image.py")
TRY_DISC = os.path.join(PROJECT, "disc", "try_disc.py")
GOAL = 1.5


def make_image(disc, work, name, with_setup=True):
    installer = os.path.join(work, name + "-installer")
    os.makedirs(installer)
    shutil.copy(os.path.join(disc, "SETUP.EXE"), os.path.join(installer, "SETUP.EXE"))
    image = os.path.join(work, name + ".iso")
    subprocess.run([sys.executable, MAKE_IMAGE, "make", os.path.join(disc, "TARNELL.EXE"),
                    os.path.join(disc, "AUTORUN.INF"), installer, image],
                   check=True, capture_output=True)
    if not with_setup:
        # The same disc less its installer, as xorriso would make it.
        tree = os.path.join(work, name + "-tree")
        os.makedirs(tree)
        for file in ("TARNELL.EXE", "AUTORUN.INF"):
            shutil.copy(os.path.join(disc, file), os.path.join(tree, file))
        subprocess.run(["xorriso", "-as", "mkisofs", "-quiet", "-r", "-J", "-o", image, tree],
                       check=True, capture_output=True)
    return image


def timed_trial(image, driver, prefix, output):
    started = time.monotonic()
    result = subprocess.run([sys.executable, TRY_DISC, "--driver", driver, "--prefix", prefix,
                             "--output", output, image], capture_output=True, text=True)
    return time.monotonic() - started, result


def main(disc32, disc64, driver, work):
    work = os.path.abspath(work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    emulated = os.path.exists(EMULATED_32BIT)
    disc = disc64 if emulated else disc32
    which = "the 64-bit build's launcher (32-bit code is emulated here)" if emulated else \
        "the 32-bit launcher"
    sample = make_image(disc, work, "sample")
    failing = make_image(disc, work, "nosetup", with_setup=False)
    prefix = os.path.join(work, "prefix")
    prepare_template(prefix)

    started = time.monotonic()
    for _ in VERSIONS:
        winelayer.end_server(prefix)
        subprocess.run([winelayer.WINE64, driver], env=winelayer.environment(prefix),
                       capture_output=True)
    winelayer.end_server(prefix)
    floor = time.monotonic() - started

    trial, result = timed_trial(sample, driver, prefix, os.path.join(work, "try"))
    if result.returncode != 0:
        last = (result.stderr or result.stdout).strip().splitlines()
        print(f"bench_try_disc: the trial of the sample disc failed: {last[-1] if last else ''}",
              file=sys.stderr)
        return 1
    short, _ = timed_trial(failing, driver, prefix, os.path.join(work, "try-nosetup"))
    count, cores = len(VERSIONS), os.cpu_count() or 1
    print(f"[ bench    ] disc trial, {count} versions, {cores} at once, with {which}: "
          f"{trial:.1f} s; {count} bare Wine sessions one after another: {floor:.1f} s; "
          f"ratio {trial / floor:.2f} (goal: at most {GOAL})")
    print(f"[ bench    ] disc trial of a disc without its SETUP.EXE: {short:.1f} s, "
          f"{short / trial:.2f} times the sample disc's")
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
