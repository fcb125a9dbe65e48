#!/usr/bin/python3
"""Times the disc image maker (the image written and read back) on a 600 MB
installer tree (six large CAB-like files and 1,200 small ones in folders)
against its floor measured in the same run: xorriso writing the same image
alone, with the options and path list the maker gives it and no
verification. Best of five each, taken in turn; prints both as MB/s and their ratio
beside its goal, and a plain copy of the tree (cp -r) for scale.
Usage: bench_make_disc.py LAUNCHER AUTORUN SETUP WORK_DIR"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
sys.path.insert(0, PROJECT)
sys.path.insert(0, os.path.join(PROJECT, "disc"))
import hostlib  # noqa: E402
from discimage import writer  # noqa: E402
from discimage.autorun import label_line  # noqa: E402
from discimage.names import (AUTORUN_NAME, LAUNCHER_NAME, DiscFile, disc_names,  # noqa: E402
                             scan_installer)

MAKE_IMAGE = os.path.join(PROJECT, "disc", "make_image.py")
MB = 1 << 20
LARGE_FILES, LARGE_MB = 6, 80
SMALL_FILES, SMALL_KB = 1200, 100
RUNS = 5
# The maker may take at most this many times xorriso's own time.
GOAL = 1.25


def generate(folder, setup):
    os.makedirs(folder)
    shutil.copy(setup, os.path.join(folder, "SETUP.EXE"))
    block = bytearray(os.urandom(MB))
    for i in range(LARGE_FILES):
        with open(os.path.join(folder, f"DATA{i + 1}.CAB"), "wb") as out:
            for m in range(LARGE_MB):
                block[0:8] = (i * LARGE_MB + m).to_bytes(8, "little")
                out.write(block)
    for i in range(SMALL_FILES):
        sub = os.path.join(folder, f"PART{i // 100:02d}")
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, f"FILE{i:04d}.DAT"), "wb") as out:
            out.write(i.to_bytes(4, "little") + block[:SMALL_KB * 1024 - 4])


def best_times(*actions):
    """The best time of each (action, undo), over rounds that take them in
    turn, so that a change in the machine's load falls on all alike; each
    run starts with nothing left to write back from the run before."""
    best = [None] * len(actions)
    for _ in range(RUNS):
        for index, (action, undo) in enumerate(actions):
            os.sync()
            start = time.perf_counter()
            action()
            took = time.perf_counter() - start
            best[index] = took if best[index] is None else min(best[index], took)
            undo()
    return best


def run(command, what, **options):
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            text=True, errors="replace", **options)
    if result.returncode != 0:
        lines = result.stderr.strip().splitlines()
        raise RuntimeError(f"{what} failed: " + (lines[-1] if lines else f"exit code {result.returncode}"))


def main(launcher, autorun, setup, work):
    shutil.rmtree(work, ignore_errors=True)
    tree = os.path.join(work, "installer")
    generate(tree, setup)
    size = sum(os.path.getsize(os.path.join(here, name))
               for here, _, names in os.walk(tree) for name in names) / MB
    image = os.path.join(work, "disc.iso")

    # The floor: the maker's own xorriso command on the maker's own path
    # list, the same files and label.
    files, folders = scan_installer(tree)
    files = [DiscFile("/" + AUTORUN_NAME, autorun), DiscFile("/" + LAUNCHER_NAME, launcher)] + files
    # The label the maker gives it without --label.
    label = disc_names(*label_line(autorun))[1]
    epoch = writer.image_epoch()
    copied = os.path.join(work, "copy")
    with tempfile.TemporaryDirectory(prefix="bench-xorriso-") as lists:
        command = writer.xorriso_command(image, label, epoch,
                                         writer.write_path_list(lists, files, folders))
        alone, made, copy = best_times(
            (lambda: run(command, "xorriso", env=writer.xorriso_environment(epoch)),
             lambda: os.unlink(image)),
            (lambda: run(["/usr/bin/python3", MAKE_IMAGE, "make", launcher, autorun, tree, image],
                         "the image maker"),
             lambda: os.unlink(image)),
            (lambda: run(["cp", "-r", tree, copied], "cp -r"), lambda: shutil.rmtree(copied)))
    ratio = made / alone
    print(f"[ bench    ] disc image of {size:.0f} MB: {size / made:7.1f} MB/s written and verified; "
          f"xorriso alone {size / alone:7.1f} MB/s; ratio {ratio:.2f} (goal: at most {GOAL}"
          f"{'' if ratio <= GOAL else ', MISSED'}); cp -r {size / copy:7.1f} MB/s")
    shutil.rmtree(work)


if __name__ == "__main__":
    hostlib.run(lambda: main(*sys.argv[1:]), "bench_make_disc")
