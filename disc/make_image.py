#!/usr/bin/python3
"""Makes the image of an install disc: ISO 9660 with Joliet, holding
AUTORUN.INF, TARNELL.EXE and the whole content of the installer folder,
whose Setup.exe becomes SETUP.EXE.

    make_image.py make [--label TEXT] LAUNCHER AUTORUN INSTALLER OUTPUT
    make_image.py check [--label TEXT] [--installer DIR] [--output FILE]

"make" checks its input first; a refusal names the rule and the offending
file or value, and nothing is written. The image is written by xorriso to
a temporary file beside the output, read back and compared file by file
with its sources (ISO 9660 name, Joliet name, bytes), and only then
renamed to the output. The same inputs give the same bytes: every date is
one fixed time (SOURCE_DATE_EPOCH, or else the time of the checkout's
last commit). Without --label the label is AUTORUN.INF's product word and
version, or the word alone where both do not fit the 16 characters
Windows shows.

"check" makes the same checks of what it is given, and writes nothing: the
disc command runs it before it builds the launcher.
"""
import argparse
import concurrent.futures
import os
import sys
import tempfile

# The project's root, where hostlib is found.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import hostlib  # noqa: E402
from hostlib import Refusal, shown  # noqa: E402
from discimage.names import (AUTORUN_NAME, JOLIET_LABEL_LIMIT, LAUNCHER_NAME,  # noqa: E402
                             DiscFile, autorun_label, check_capacity, check_output, default_label,
                             dos_name_warnings, iso_tree_warnings, map_label, media_line,
                             scan_installer)
from discimage.readback import source_crcs, verify_image  # noqa: E402
from discimage.writer import image_epoch, write_image  # noqa: E402


def counted(number, word):
    return f"{number} {word}" + ("" if number == 1 else "s")


def print_table(files):
    rows = [("path", "ISO 9660 name", "Joliet name", "size", "CRC-32")]
    rows += [(shown(f.source), f.iso_path, f.disc_path, str(f.size), f"{f.crc:08X}") for f in files]
    widths = [max(len(row[i]) for row in rows) for i in range(5)]
    for row in rows:
        print("  ".join(cell.rjust(width) if i == 3 else cell.ljust(width)
                        for i, (cell, width) in enumerate(zip(row, widths))).rstrip())


def parse_arguments():
    parser = argparse.ArgumentParser(
        prog="make_image.py",
        description="Makes a verified ISO 9660 + Joliet image of the install disc.")
    commands = parser.add_subparsers(dest="command", required=True)
    make = commands.add_parser("make", help="write the image and verify it")
    check = commands.add_parser("check", help="only check the arguments given")
    for command in (make, check):
        command.add_argument("--label", metavar="TEXT",
                             help="the volume label (default: AUTORUN.INF's product word and version, "
                                  "or the word alone where both do not fit 16 characters)")
    make.add_argument("launcher", metavar="LAUNCHER", help="the launcher, TARNELL.EXE on the disc")
    make.add_argument("autorun", metavar="AUTORUN", help="the disc's AUTORUN.INF")
    make.add_argument("installer", metavar="INSTALLER",
                      help="the installer folder: Setup.exe and everything beside it")
    make.add_argument("output", metavar="OUTPUT", help="the image")
    check.add_argument("--installer", metavar="DIR", help="the installer folder")
    check.add_argument("--output", metavar="FILE", help="the image")
    return parser.parse_args()


def check(arguments):
    if arguments.label is not None:
        map_label(arguments.label)
    if arguments.installer is not None:
        check_capacity(*scan_installer(arguments.installer))
    if arguments.output is not None:
        check_output(os.path.abspath(arguments.output), arguments.installer)


def make(arguments):
    label = map_label(arguments.label) if arguments.label is not None else None
    epoch = image_epoch()
    installer = arguments.installer
    files, folders = scan_installer(installer)
    check_capacity(files, folders)
    output = os.path.abspath(arguments.output)
    check_output(output, installer)
    for path, what in ((arguments.launcher, "launcher"), (arguments.autorun, "AUTORUN.INF")):
        if not os.path.isfile(path):
            raise Refusal(f"the {what} does not exist", path)
    if label is None:
        label = default_label(autorun_label(arguments.autorun))

    files = [DiscFile("/" + AUTORUN_NAME, arguments.autorun),
             DiscFile("/" + LAUNCHER_NAME, arguments.launcher)] + files

    handle, partial = tempfile.mkstemp(prefix="." + os.path.basename(output) + ".", suffix=".partial",
                                       dir=os.path.dirname(output))
    os.close(handle)
    # xorriso keeps one core busy; the CRCs take the others.
    pool = concurrent.futures.ThreadPoolExecutor(max(1, (os.cpu_count() or 1) - 1))
    try:
        crcs = source_crcs(pool, files)
        write_image(partial, label, epoch, files, folders)
        problems = verify_image(partial, label, files, folders)
        for disc_file, crc in zip(files, crcs):
            disc_file.crc = crc.result()
        if problems:
            for problem in problems:
                print(f"make-disc: mismatch: {problem}", file=sys.stderr)
            raise Refusal("the image does not hold what was given", f"{len(problems)} mismatches")
        os.chmod(partial, 0o644)
        hostlib.hold_interrupts()
        os.replace(partial, output)
    finally:
        # Interrupted: the CRCs not started are dropped, those running end
        # (each reads one file) before the partial image goes.
        pool.shutdown(wait=True, cancel_futures=True)
        if os.path.exists(partial):
            os.unlink(partial)

    print_table(files)
    warnings = dos_name_warnings(files, folders)
    for warning in warnings:
        print(f"warning: not an 8.3 name, Windows NT 3.51 sees it shortened: {warning}")
    for warning in iso_tree_warnings(files, folders):
        print(f"warning: {warning}")
        warnings.append(warning)
    if len(label) > JOLIET_LABEL_LIMIT:
        warning = (f"Windows shows the first {JOLIET_LABEL_LIMIT} characters of the label: "
                   f"{label[:JOLIET_LABEL_LIMIT]}")
        print(f"warning: {warning}")
        warnings.append(warning)
    total = sum(f.size for f in files)
    print(f"verified {counted(len(files), 'file')}, {counted(len(folders), 'folder')}, "
          f"{counted(total, 'byte')}; label {label}; {counted(len(warnings), 'warning')}; "
          f"image {shown(output)} ({os.path.getsize(output)} bytes)")
    print(f"media: {media_line(os.path.getsize(output))}")


def main():
    arguments = parse_arguments()
    (make if arguments.command == "make" else check)(arguments)


if __name__ == "__main__":
    hostlib.run(main, "make-disc")
