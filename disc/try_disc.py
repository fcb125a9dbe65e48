#!/usr/bin/python3
"""Tries a disc image on every Windows version Wine offers, as autorun
would start it from a CD-ROM drive, and says whether each one behaved as
the launcher promises.

    try_disc.py --driver TRIAL_DRIVER.EXE --prefix TEMPLATE IMAGE
                [--output DIR] [--versions LIST] [--language CODE|all] [--no-sandbox]

Each version runs in a Wine session of its own, cloned from the template
prefix, shut in by a sandbox (disctrial/sandbox.py), as many at once as
the machine has cores. Writes DIR/VERSION.png for each version,
DIR/sheet.png and DIR/report.txt (also printed). DIR is written whole or
not at all: everything goes to a temporary folder beside it first. Exit
code 0 when every version behaved as promised, 1 when one fell short or
the input was refused, 2 for a wrong command line.
"""
import argparse
import concurrent.futures
import contextlib
import os
import shutil
import sys
import tempfile
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
# The project's root, where hostlib and the Wine layer are found.
sys.path.insert(0, os.path.dirname(HERE))
import hostlib  # noqa: E402
from hostlib import Refusal, shown  # noqa: E402
from hostlib.files import UntrustedFileError, read_regular  # noqa: E402
from discimage.authenticode import read_signature  # noqa: E402
from disctrial.image import Autorun, DiscImage  # noqa: E402
from disctrial import bounds, sandbox  # noqa: E402
from disctrial.session import (DRIVE, POLL_SECONDS, SessionError, end_all,  # noqa: E402
                               prepare_template, remove_session, run_session)
from disctrial.sheet import make_sheet, picture, report  # noqa: E402
from disctrial.texts import code_name, language_code, locale_for, read_tables  # noqa: E402
from disctrial.verdict import (SECOND_COPY_VERSION, VERSIONS, Outcome, accepts,  # noqa: E402
                               is_our_launcher, judge, launcher_systems)

NAME = "try-disc"
ALL_LANGUAGES = "all"
# The most of a disc's program that is read to tell whether it is this
# launcher (a few hundred KB).
PROGRAM_LIMIT = 64 << 20


@dataclass(frozen=True)
class Tree:
    """One tree of the disc's names, extracted: its AUTORUN.INF, whether
    the program that names is this launcher, and the systems it lists."""
    name: str
    folder: str
    autorun: Autorun
    ours: bool
    systems: frozenset | None = None
    tables: dict | None = None      # its string tables, by primary language
    signature: object = None        # its program's Authenticode signature


@dataclass(frozen=True)
class Run:
    """One version to try, in the caller's language or in a language's
    locale (code: the language's ISO 639-1 code); an extra run (of
    --language all) is named after its language in the report."""
    version: object
    code: str | None = None
    extra: bool = False


def default_output(image):
    name = os.path.splitext(os.path.basename(image))[0]
    return os.path.join(os.path.dirname(HERE), "build", "try", name)


def chosen_versions(text):
    """The versions a list names, in the order of their release."""
    if text is None:
        return VERSIONS
    known = {version.wine_name: version for version in VERSIONS}
    names = [name.strip() for name in text.split(",")]
    if not any(names):
        raise Refusal("--versions: the list names no version; the versions are "
                      + ", ".join(known), repr(text))
    for name in names:
        if name not in known:
            raise Refusal("--versions: the versions are " + ", ".join(known), repr(name))
    return [version for version in VERSIONS if version.wine_name in names]


def check_output(output, image):
    output = os.path.abspath(output)
    if os.path.exists(output) and not os.path.isdir(output):
        raise Refusal("--output: the output is a folder, and this is a file", repr(output))
    if os.path.commonpath([output, os.path.abspath(image)]) == output:
        raise Refusal("--output: the output folder is replaced whole, and it holds the image",
                      repr(output))
    return output


def read_trees(disc, versions, work):
    """{tree name: Tree} of each tree the versions read, extracted into
    work; closes the image."""
    trees = {}
    for version in versions:
        name = disc.tree_for(version.reads_joliet)
        if name not in trees:
            folder = os.path.join(work, name.replace(" ", ""))
            disc.extract(name, folder)
            autorun = Autorun(folder)
            ours, systems, tables, signature = False, None, None, None
            if autorun.program_file:
                signature = read_signature(autorun.program_file)
                try:
                    program = read_regular(autorun.program_file, PROGRAM_LIMIT)
                except UntrustedFileError:
                    program = b""
                ours = is_our_launcher(program)
                if ours:
                    systems, tables = launcher_systems(program), read_tables(program)
            trees[name] = Tree(name, folder, autorun, ours, systems, tables, signature)
    disc.close()
    return trees


def print_report(kind, text, fraction=None):
    """The command's own report: lines on standard output, warnings on
    standard error."""
    if kind == "line":
        print(text, flush=True)
    elif kind == "warning":
        print(text, file=sys.stderr, flush=True)


def run_version(run, tree, template, driver, work, sandboxed, hierarchy, report):
    """Starts the tree's program on one version, as autorun would, unless
    its AUTORUN.INF keeps autorun from starting anything."""
    version, autorun = run.version, tree.autorun
    started = not autorun.fatal
    if started:
        command = autorun.command(DRIVE + ":")
        language = f" in {code_name(run.code)}" if run.code else ""
        report("line", f"{NAME}: {version.shown_name}{language}: starting {command}")
        second = tree.ours and version.wine_name == SECOND_COPY_VERSION and \
            accepts(version, tree.systems)
        result = run_session(template, driver, version.setting, tree.folder, command, work,
                             second, sandboxed, hierarchy,
                             locale_for(run.code) if run.code else None)
        facts, shot, bound, stopped = result.facts, result.shot, result.seconds, result.stopped
    else:
        facts, shot, bound, stopped = {"appeared": "nothing", "exit": "-"}, None, None, None
    return Outcome(version, tree.name, tree.ours, tuple(autorun.fatal + autorun.problems),
                   started, facts, shot, bound, tree.systems, tree.tables,
                   run.code if run.extra else None, stopped, tree.signature)


def language_runs(runs, trees, disc, language):
    """The runs of --language all: each language the disc's launcher
    carries, in its locale, on one version it accepts and one it refuses,
    besides the runs given."""
    if language != ALL_LANGUAGES:
        return runs
    extra = []
    for tree in trees.values():
        if not tree.ours:
            continue
        for primary in sorted(tree.tables or {}):
            code = language_code(primary)
            if code is None:
                continue
            on_tree = [run.version for run in runs
                       if disc.tree_for(run.version.reads_joliet) == tree.name]
            for wanted in (True, False):
                chosen = next((v for v in on_tree if accepts(v, tree.systems) == wanted), None)
                if chosen and Run(chosen, code, True) not in extra:
                    extra.append(Run(chosen, code, True))
    return runs + extra


def run_versions(runs, trees, disc, template, driver, work, sandboxed, hierarchy, report):
    """Every run's outcome, in the runs' order; as many sessions at once as
    the machine has cores. Each session's end is reported as progress."""
    ended = []

    def run_one(run):
        outcome = run_version(run, trees[disc.tree_for(run.version.reads_joliet)], template,
                              driver, work, sandboxed, hierarchy, report)
        ended.append(run)
        report("progress", f"{NAME}: {run.version.shown_name} ended", len(ended) / len(runs))
        return outcome

    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
        try:
            futures = [pool.submit(run_one, run) for run in runs]
            while concurrent.futures.wait(futures, timeout=POLL_SECONDS,
                                          return_when=concurrent.futures.FIRST_EXCEPTION).not_done:
                hostlib.check_interrupted()
                if any(f.done() and f.exception() for f in futures):
                    break
            return [future.result() for future in futures]
        except BaseException:
            # Interrupted: the sessions end now, not when their programs do.
            end_all()
            raise


@contextlib.contextmanager
def staging_beside(output):
    """A new folder beside the output, made before the trial starts, for
    publish() to write into; it goes again unless publish() renamed it."""
    parent = os.path.dirname(output)
    os.makedirs(parent, exist_ok=True)
    staging = tempfile.mkdtemp(prefix="." + os.path.basename(output) + ".", dir=parent)
    try:
        yield staging
    finally:
        if os.path.isdir(staging):
            shutil.rmtree(staging, ignore_errors=True)


@contextlib.contextmanager
def sessions_beside(template):
    """A folder for the trees, and without the sandbox for the sessions,
    beside the template (their prefixes link its files, so on its file
    system). It goes whole, whatever a session's programs made in it, once
    every session has ended."""
    work = tempfile.mkdtemp(prefix=".sessions-", dir=os.path.dirname(os.path.abspath(template)))
    try:
        # The sessions' user reaches its folder and the trees through it.
        os.chmod(work, 0o755)
        yield work
    finally:
        kept = remove_session(work)
        if kept:
            print(f"{NAME}: warning: could not remove the trial's sessions: {shown(kept)}",
                  file=sys.stderr)


def publish(staging, output, outcomes, rows, pictures):
    """Writes each version's picture, the sheet and the report, and puts
    them in the output folder's place whole. Returns the report's text."""
    for outcome, image in zip(outcomes, pictures):
        name = outcome.version.wine_name + (f"-{outcome.code}" if outcome.code else "")
        image.save(os.path.join(staging, name + ".png"))
    make_sheet(rows, pictures, os.path.join(staging, "sheet.png"))
    text = report(rows)
    with open(os.path.join(staging, "report.txt"), "w", encoding="utf-8") as out:
        out.write(text)
    hostlib.hold_interrupts()
    if os.path.isdir(output):
        shutil.rmtree(output)
    os.replace(staging, output)
    return text


def trial(image_path, output, versions, driver, template, sandboxed, language=None,
          report=print_report):
    """Runs the trial; returns the report's text and whether all kept the
    promise. language: a code, whose locale every session runs in, or
    ALL_LANGUAGES."""
    disc = DiscImage(image_path)
    with staging_beside(output) as staging:
        # The sessions' prefixes link the template's files: beside it, on
        # its file system.
        with sessions_beside(template) as work:
            trees = read_trees(disc, versions, work)
            code = None if language in (None, ALL_LANGUAGES) else language
            runs = language_runs([Run(version, code) for version in versions], trees, disc,
                                 language)
            prepare_template(template)
            hierarchy = bounds.Hierarchy()
            if hierarchy.warning():
                report("warning", f"{NAME}: warning: {hierarchy.warning()}")
            outcomes = run_versions(runs, trees, disc, template, driver, work, sandboxed,
                                    hierarchy, report)
        pictures = [picture(outcome.shot, outcome.facts) for outcome in outcomes]
        rows = [judge(outcome, DRIVE) for outcome in outcomes]
        text = publish(staging, output, outcomes, rows, pictures)
    return text, all(row.as_promised for row in rows)


def check_sandbox(sandboxed, report=print_report):
    """Refuses to run the disc's programs unshut where this machine cannot
    shut them in, unless the user accepted that."""
    if not sandboxed:
        report("warning", f"{NAME}: warning: --no-sandbox: the disc's programs run with your "
               "rights and see your files, and the bytes they write are not bounded")
        return
    try:
        sandbox.check()
    except sandbox.SandboxError as error:
        raise Refusal("this machine cannot shut the disc's programs in (bubblewrap needs user "
                      "namespaces); --no-sandbox runs them with your rights and your files "
                      "in their reach", str(error)) from None


class Parser(argparse.ArgumentParser):
    """A wrong command line: the usage, and one line that says what is
    wrong, exit code 2."""

    def error(self, message):
        self.print_usage(sys.stderr)
        print(f"{NAME}: {message}", file=sys.stderr)
        sys.exit(2)


def chosen_language(text):
    """--language: a language's code, whose locale the sessions run in, or
    all; None without it."""
    if text is None or text == ALL_LANGUAGES:
        return text
    code = text.strip().lower()
    if not code or code_name(code) is None:
        raise Refusal("--language: a language is its ISO 639-1 code (de, fr, ...) or all",
                      repr(text))
    if locale_for(code) is None:
        raise Refusal(f"--language: this machine has no locale for {code_name(code)} "
                      "(install locales-all)", repr(text))
    return code


def main():
    parser = Parser(prog=NAME, description="Tries a disc image on every Windows version.")
    parser.add_argument("image")
    parser.add_argument("--output", metavar="DIR")
    parser.add_argument("--versions", metavar="LIST",
                        help="Wine's version names, comma-separated (default: all seventeen)")
    parser.add_argument("--language", metavar="CODE",
                        help="run the sessions in that language's locale (an ISO 639-1 code), "
                             "or 'all': each language the disc's launcher carries on one "
                             "accepted and one refused version besides the full run")
    parser.add_argument("--no-sandbox", action="store_true",
                        help="run the disc's programs without the sandbox, with your rights "
                             "(only where the machine cannot give one)")
    parser.add_argument("--driver", required=True, help=argparse.SUPPRESS)
    parser.add_argument("--prefix", required=True, help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    _, kept = run_trial(arguments.image, arguments.driver, arguments.prefix, arguments.output,
                        arguments.versions, arguments.language, not arguments.no_sandbox)
    return 0 if kept else 1


def run_trial(image, driver, prefix, output=None, versions=None, language=None, sandboxed=True,
              report=print_report):
    """The trial as the command runs it, for the disc command and the
    designer too: the options checked, the sessions run, the report's text
    reported with where the output went. Returns (the report's text,
    whether every version kept the promise)."""
    versions = chosen_versions(versions)
    language = chosen_language(language)
    output = check_output(output or default_output(image), image)
    check_sandbox(sandboxed, report)
    text, kept = trial(image, output, versions, driver, prefix, sandboxed, language, report)
    for line in text.splitlines():
        report("line", line)
    report("line", f"{NAME}: pictures, sheet and report in {output}")
    return text, kept


if __name__ == "__main__":
    hostlib.run(main, NAME, worded=(SessionError,))
