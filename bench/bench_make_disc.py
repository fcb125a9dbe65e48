#!/usr/bin/python3
"""Times the disc image maker (image written and read back) on a 600 MB
installer tree (six large CAB-like files and 1,200 small ones in folders)
against a plain copy of the same tree in the same run, best of three each,
and prints both as MB/s and their ratio.
Usage: bench_make_disc.py LAUNCHER AUTORUN SETUP WORK_DIR"""
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_IMAGE = os.path.join(os.path.dirname(HERE), "disc", "make_image.py")
MB = 1 << 20
LARGE_FILES, LARGE_MB = 6, 80
SMALL_FILES, SMALL_KB = 1200, 100
RUNS = 3


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


def stream_copy(source, target):
    with open(source, "rb") as reading, open(target, "wb") as writing:
        shutil.copyfileobj(reading, writing, MB)


def best_time(action, undo):
    """The best of a few runs, each started with nothing left to write
    back from the run before."""
    best = None
    for _ in range(RUNS):
        os.sync()
        start = time.perf_counter()
        action()
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
        undo()
    return best


def main(launcher, autorun, setup, work):
    shutil.rmtree(work, ignore_errors=True)
    tree = os.path.join(work, "installer")
    generate(tree, setup)
    size = sum(os.path.getsize(os.path.join(here, name))
               for here, _, names in os.walk(tree) for name in names) / MB
    copied = os.path.join(work, "copy")
    copy = best_time(lambda: subprocess.run(["cp", "-r", tree, copied], check=True),
                     lambda: shutil.rmtree(copied))
    # A copy through user space, as the image writer reads and writes.
    streamed = best_time(lambda: shutil.copytree(tree, copied, copy_function=stream_copy),
                         lambda: shutil.rmtree(copied))
    image = os.path.join(work, "disc.iso")
    command = ["/usr/bin/python3", MAKE_IMAGE, "make", launcher, autorun, tree, image]
    made = best_time(lambda: subprocess.run(command, check=True, stdout=subprocess.DEVNULL),
                     lambda: os.unlink(image))
    print(f"[ bench    ] disc image of {size:.0f} MB: {size / made:7.1f} MB/s written and verified; "
          f"cp -r {size / copy:7.1f} MB/s, ratio {made / copy:.2f} (goal: at most 3); "
          f"copy through user space {size / streamed:7.1f} MB/s, ratio {made / streamed:.2f}")
    shutil.rmtree(work)


if __name__ == "__main__":
    main(*sys.argv[1:])
