#!/usr/bin/python3
"""Tries a disc image on every Windows version Wine offers, as autorun
would start it from a CD-ROM drive, and says whether each one behaved as
the launcher promises.

    try_disc.py --driver TRIAL_DRIVER.EXE --prefix WINEPREFIX IMAGE
                [--output DIR] [--versions LIST]

Writes DIR/VERSION.png for each version, DIR/sheet.png and DIR/report.txt
(also printed). DIR is written whole or not at all: everything goes to a
temporary folder beside it first. Exit code 0 when every version behaved
as promised, 1 when one fell short or the input was refused, 2 for a
wrong command line. Runs inside an X session (scripts/try-disc.sh starts
one).
"""
import argparse
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from discimage import Refusal, failure_line  # noqa: E402
from disctrial.image import Autorun, DiscImage  # noqa: E402
from disctrial.session import DRIVE, SessionError, drop_drive, prepare_prefix, try_version  # noqa: E402
from disctrial.sheet import make_sheet, picture, report  # noqa: E402
from disctrial.verdict import SECOND_COPY_VERSION, VERSIONS, is_our_launcher, judge, setup_started, what_appeared  # noqa: E402

NAME = "try-disc"


def default_output(image):
    name = os.path.splitext(os.path.basename(image))[0]
    return os.path.join(os.path.dirname(HERE), "build", "try", name)


def chosen_versions(text):
    if not text:
        return VERSIONS
    names = [name.strip() for name in text.split(",") if name.strip()]
    known = {version[0]: version for version in VERSIONS}
    for name in names:
        if name not in known:
            raise Refusal("--versions: the versions are " + ", ".join(known), repr(name))
    return [known[name] for name in names]


def check_output(output, image):
    output = os.path.abspath(output)
    if os.path.exists(output) and not os.path.isdir(output):
        raise Refusal("--output: the output is a folder, and this is a file", repr(output))
    if os.path.commonpath([output, os.path.abspath(image)]) == output:
        raise Refusal("--output: the output folder is replaced whole, and it holds the image",
                      repr(output))
    return output


def trial(image_path, output, versions, driver, prefix):
    """Runs the trial; returns the report's text and whether all kept the
    promise."""
    disc = DiscImage(image_path)
    parent = os.path.dirname(output)
    os.makedirs(parent, exist_ok=True)
    staging = tempfile.mkdtemp(prefix="." + os.path.basename(output) + ".", dir=parent)
    try:
        with tempfile.TemporaryDirectory(prefix="tarnell-try-") as work:
            trees = {}
            for version in versions:
                tree = disc.tree_for(version[2])
                if tree not in trees:
                    folder = os.path.join(work, tree.replace(" ", ""))
                    disc.extract(tree, folder)
                    autorun = Autorun(folder)
                    ours = False
                    if autorun.program_file:
                        with open(autorun.program_file, "rb") as source:
                            ours = is_our_launcher(source.read())
                    trees[tree] = (folder, autorun, ours)
            disc.close()
            prepare_prefix(prefix)
            sheet_rows, report_rows = [], []
            for version in versions:
                tree = disc.tree_for(version[2])
                folder, autorun, ours = trees[tree]
                problems = autorun.fatal + autorun.problems
                if autorun.fatal:
                    facts, shot = {"appeared": "nothing", "exit": "-"}, None
                else:
                    print(f"{NAME}: {version[1]}: starting {autorun.command(DRIVE + ':')}",
                          flush=True)
                    facts, shot = try_version(prefix, driver, version[0], folder,
                                              autorun.command(DRIVE + ":"), work,
                                              second=ours and version[0] == SECOND_COPY_VERSION)
                good, reason = judge(version, facts, ours, DRIVE, problems)
                image = picture(shot, facts)
                image.save(os.path.join(staging, version[0] + ".png"))
                sheet_rows.append((version[1], image, good, reason))
                started = facts.get("started", "-" if facts.get("appeared") != "window" else "none")
                setup = ("started from the drive" if setup_started(facts, DRIVE) else
                         "not started" if started in ("none", "-") else f"started {started}")
                report_rows.append((version[1], tree, what_appeared(facts) if not autorun.fatal
                                    else "not started", setup, good, reason))
            drop_drive(prefix)
        make_sheet(sheet_rows, os.path.join(staging, "sheet.png"))
        text = report(report_rows)
        with open(os.path.join(staging, "report.txt"), "w", encoding="utf-8") as out:
            out.write(text)
        if os.path.isdir(output):
            shutil.rmtree(output)
        os.replace(staging, output)
        return text, all(row[4] for row in report_rows)
    finally:
        if os.path.isdir(staging):
            shutil.rmtree(staging, ignore_errors=True)


class Parser(argparse.ArgumentParser):
    def error(self, message):
        print(f"{NAME}: {message}", file=sys.stderr)
        sys.exit(2)


def main():
    parser = Parser(prog=NAME, description="Tries a disc image on every Windows version.")
    parser.add_argument("image")
    parser.add_argument("--output", metavar="DIR")
    parser.add_argument("--versions", metavar="LIST",
                        help="Wine's version names, comma-separated (default: all eleven)")
    parser.add_argument("--driver", required=True, help=argparse.SUPPRESS)
    parser.add_argument("--prefix", required=True, help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    try:
        versions = chosen_versions(arguments.versions)
        output = check_output(arguments.output or default_output(arguments.image), arguments.image)
        text, kept = trial(arguments.image, output, versions, arguments.driver, arguments.prefix)
    except Refusal as refusal:
        print(f"{NAME}: refused: {refusal}", file=sys.stderr)
        return 1
    except SessionError as error:
        print(f"{NAME}: failed: {error}", file=sys.stderr)
        return 1
    except Exception as error:  # a file gone, a full disk, a fault of the trial: one line
        print(f"{NAME}: failed: {failure_line(error)}", file=sys.stderr)
        return 1
    sys.stdout.write(text)
    print(f"{NAME}: pictures, sheet and report in {output}")
    if not kept:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
