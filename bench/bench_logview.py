#!/usr/bin/python3
"""Times the log viewer on huge logs (1 GiB, and 2 GiB less 1 MB, sparse
but for their last 64 KB of lines) beside a 64 KB log in the same run:
each log viewed once by logview_probe.exe in a process of its own, so that
the peak memory printed belongs to that one view. Runs inside an X
session.
Usage: bench_logview.py LOADER PROBE.EXE PREFIX WORK_DIR"""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
from wine import winelayer  # noqa: E402

TAIL_LINES, LINE_WIDTH = 2048, 30
LISTED_LINES = 1100
CASES = [("1 GiB", 1 << 30), ("2 GiB - 1 MB", (2 << 30) - (1 << 20))]


def numbered_lines(count, width):
    return "".join(f"line {i:05d}".ljust(width, ".") + "\r\n" for i in range(count)).encode()


def view(loader, probe, prefix, path, size):
    """(ms, peak private KB before, after, peak working set KB) of one view."""
    tail = numbered_lines(TAIL_LINES, LINE_WIDTH)
    with open(path, "wb") as log:
        log.truncate(size - len(tail))
        log.seek(size - len(tail))
        log.write(tail)
    result = subprocess.run([loader, probe, winelayer.windows_path(path)],
                            env=winelayer.environment(prefix), capture_output=True, text=True)
    os.unlink(path)
    fields = result.stdout.split()
    if result.returncode != 0 or len(fields) != 5 or int(fields[4]) != LISTED_LINES:
        raise SystemExit(f"bench_logview: the probe failed on {size} bytes: "
                         f"{(result.stdout + result.stderr).strip() or result.returncode}")
    return float(fields[0]), int(fields[1]), int(fields[2]), int(fields[3])


def main(loader, probe, prefix, work):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    path = os.path.join(work, "viewed.log")
    ms, _, private, working = view(loader, probe, prefix, path, 64 * 1024)
    print(f"[ bench    ] ViewLogFile 64 KB        : {ms:9.3f} ms, peak private {private} KB, "
          f"peak working set {working} KB (the reference)")
    for name, size in CASES:
        took, before, peak, peak_working = view(loader, probe, prefix, path, size)
        print(f"[ bench    ] ViewLogFile {name:<13}: {took:9.3f} ms, peak private {peak} KB "
              f"({peak - before:+d} KB in the call), peak working set {peak_working} KB; "
              f"ratio to 64 KB: time {took / ms:.2f}, peak private {peak / private:.2f}")
    shutil.rmtree(work)


if __name__ == "__main__":
    main(*sys.argv[1:])
