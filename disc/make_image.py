#!/usr/bin/python3
"""Makes the image of an install disc: ISO 9660 with Joliet, holding
AUTORUN.INF, TARNELL.EXE and the whole content of the installer folder,
whose Setup.exe becomes SETUP.EXE.

    make_image.py make [--label TEXT] LAUNCHER AUTORUN INSTALLER OUTPUT
    make_image.py check [--label TEXT] [--installer DIR] [--output FILE]
    make_image.py autorun --product WORD --version A.B.C OUTPUT

"make" checks its input first; a refusal names the rule and the offending
file or value, and nothing is written. The image is written by xorriso to
a temporary file beside the output, read back and compared file by file
with its sources (ISO 9660 name, Joliet name, bytes), and only then
renamed to the output. The same inputs give the same bytes: every date is
one fixed time (SOURCE_DATE_EPOCH, or else the time of the checkout's
last commit). Without --label the label is made from AUTORUN.INF's
product word and version (discimage.names.disc_names), as the disc
command makes it from its options.

"check" makes the same checks of what it is given, and writes nothing.
"autorun" writes the AUTORUN.INF of a product's launcher.

The disc command (publish/make_disc.py) calls check_arguments() and
make_image() directly, and reports with report_image().
"""
import argparse
import concurrent.futures
import os
import sys
import tempfile
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
# The project's root, where hostlib and the launcher's contract are found,
# and this folder, where discimage is.
sys.path.insert(0, os.path.dirname(HERE))
sys.path.insert(0, HERE)
import hostlib  # noqa: E402
from hostlib import Refusal, shown  # noqa: E402
from hostlib.files import write_files  # noqa: E402
from discimage.autorun import autorun_inf, label_line  # noqa: E402
from discimage.names import (AUTORUN_NAME, JOLIET_LABEL_LIMIT, LAUNCHER_NAME,  # noqa: E402
                             DiscFile, check_capacity, check_output, disc_names,
                             dos_name_warnings, iso_tree_warnings, map_label, media_line,
                             scan_installer)
from discimage.authenticode import INTACT, read_signature  # noqa: E402
from discimage.readback import launcher_from_image, source_crcs, verify_image  # noqa: E402
from discimage.writer import image_epoch, write_image  # noqa: E402

NAME = "make-disc"


@dataclass
class ImageResult:
    """A verified image: where it is, its label, the files it holds (each
    with its ISO 9660 name and CRC-32), its folders and the warnings."""
    output: str
    label: str
    files: list
    folders: list
    warnings: list

    @property
    def size(self):
        return os.path.getsize(self.output)


def counted(number, word):
    return f"{number} {word}" + ("" if number == 1 else "s")


def check_arguments(label=None, installer=None, output=None):
    """Checks what it is given, before anything is built; the label as the
    image takes it, or None."""
    mapped = map_label(label) if label is not None else None
    if installer is not None:
        check_capacity(*scan_installer(installer))
    if output is not None:
        check_output(os.path.abspath(output), installer)
    return mapped


def make_image(launcher, autorun, installer, output, label, signer=None):
    """Writes the image, verified, to output; its ImageResult. label: as
    the disc is to be named (map_label checks it); signer: the common name
    the launcher is signed by, whose signature is checked on the written
    disc (None: an unsigned launcher)."""
    label = map_label(label)
    epoch = image_epoch()
    files, folders = scan_installer(installer)
    check_capacity(files, folders)
    output = os.path.abspath(output)
    check_output(output, installer)
    for path, what in ((launcher, "launcher"), (autorun, "AUTORUN.INF")):
        if not os.path.isfile(path):
            raise Refusal(f"the {what} does not exist", path)

    files = [DiscFile("/" + AUTORUN_NAME, autorun), DiscFile("/" + LAUNCHER_NAME, launcher)] + files

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
                print(f"{NAME}: mismatch: {problem}", file=sys.stderr)
            raise Refusal("the image does not hold what was given", f"{len(problems)} mismatches")
        if signer is not None:
            check_signature_on_disc(partial, signer)
        os.chmod(partial, 0o644)
        hostlib.hold_interrupts()
        os.replace(partial, output)
    finally:
        # Interrupted: the CRCs not started are dropped, those running end
        # (each reads one file) before the partial image goes.
        pool.shutdown(wait=True, cancel_futures=True)
        if os.path.exists(partial):
            os.unlink(partial)

    warnings = [f"not an 8.3 name, Windows NT 3.51 sees it shortened: {warning}"
                for warning in dos_name_warnings(files, folders)]
    warnings += iso_tree_warnings(files, folders)
    if len(label) > JOLIET_LABEL_LIMIT:
        warnings.append(f"Windows shows the first {JOLIET_LABEL_LIMIT} characters of the label: "
                        f"{label[:JOLIET_LABEL_LIMIT]}")
    return ImageResult(output, label, files, folders, warnings)


def check_signature_on_disc(image, signer):
    """The launcher's signature, as the written image holds it: intact, and
    by the signer given."""
    with tempfile.TemporaryDirectory(prefix="make-disc-signature-") as work:
        launcher = os.path.join(work, LAUNCHER_NAME)
        with open(launcher, "wb") as out:
            launcher_from_image(image, out)
        signature = read_signature(launcher)
    if signature.state != INTACT:
        raise Refusal("the launcher's signature on the written disc is not intact",
                      signature.describe())
    if signature.signer != signer:
        raise Refusal(f"the launcher on the written disc is signed by another than {signer}",
                      signature.describe())


def report_image(result, out=print):
    """The table of the image's files, its warnings, and the lines that
    count what it holds and name the media it fits."""
    rows = [("path", "ISO 9660 name", "Joliet name", "size", "CRC-32")]
    rows += [(shown(f.source), f.iso_path, f.disc_path, str(f.size), f"{f.crc:08X}")
             for f in result.files]
    widths = [max(len(row[i]) for row in rows) for i in range(5)]
    for row in rows:
        out("  ".join(cell.rjust(width) if i == 3 else cell.ljust(width)
                      for i, (cell, width) in enumerate(zip(row, widths))).rstrip())
    for warning in result.warnings:
        out(f"warning: {warning}")
    total = sum(f.size for f in result.files)
    out(f"verified {counted(len(result.files), 'file')}, {counted(len(result.folders), 'folder')}, "
        f"{counted(total, 'byte')}; label {result.label}; "
        f"{counted(len(result.warnings), 'warning')}; "
        f"image {shown(result.output)} ({result.size} bytes)")
    out(f"media: {media_line(result.size)}")


def parse_arguments():
    parser = argparse.ArgumentParser(
        prog="make_image.py",
        description="Makes a verified ISO 9660 + Joliet image of the install disc.")
    commands = parser.add_subparsers(dest="command", required=True)
    make = commands.add_parser("make", help="write the image and verify it")
    check = commands.add_parser("check", help="only check the arguments given")
    autorun = commands.add_parser("autorun", help="write the AUTORUN.INF of a product")
    for command in (make, check):
        command.add_argument("--label", metavar="TEXT",
                             help="the volume label (default: made from AUTORUN.INF's product "
                                  "word and version)")
    make.add_argument("launcher", metavar="LAUNCHER", help="the launcher, TARNELL.EXE on the disc")
    make.add_argument("autorun", metavar="AUTORUN", help="the disc's AUTORUN.INF")
    make.add_argument("installer", metavar="INSTALLER",
                      help="the installer folder: Setup.exe and everything beside it")
    make.add_argument("output", metavar="OUTPUT", help="the image")
    check.add_argument("--installer", metavar="DIR", help="the installer folder")
    check.add_argument("--output", metavar="FILE", help="the image")
    autorun.add_argument("--product", required=True, metavar="WORD")
    autorun.add_argument("--version", required=True, metavar="A.B.C")
    autorun.add_argument("--label", metavar="TEXT", help="the drive's name (default: WORD A.B.C)")
    autorun.add_argument("--action", metavar="TEXT",
                         help="AutoPlay's choice (default: Install WORD)")
    autorun.add_argument("output", metavar="OUTPUT")
    return parser.parse_args()


def main():
    arguments = parse_arguments()
    if arguments.command == "check":
        check_arguments(arguments.label, arguments.installer, arguments.output)
    elif arguments.command == "autorun":
        write_files({arguments.output: autorun_inf(arguments.product, arguments.version,
                                                   arguments.label, arguments.action)},
                    keep_unchanged=True)
    else:
        label = arguments.label
        if label is None:
            named = label_line(arguments.autorun) if os.path.isfile(arguments.autorun) else None
            if named is None:
                raise Refusal("AUTORUN.INF names no label: give --label", arguments.autorun)
            label = disc_names(*named)[1]
        report_image(make_image(arguments.launcher, arguments.autorun, arguments.installer,
                                arguments.output, label))


if __name__ == "__main__":
    hostlib.run(main, NAME)
