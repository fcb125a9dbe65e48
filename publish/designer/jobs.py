"""The designer's jobs, each in a worker thread of the server: the
preview, drawn again after each change (debounced; a newer design
supersedes an older one, and only one builds at a time), and the disc
jobs, making the disc and trying it, one at a time. The page reads their
state by polling; a job's state is a plain dict, copied under the lock.

The disc command's functions run here as they run in the command, their
reports turned into the state the page shows (in these threads
hostlib.hold_interrupts() is the interrupt check alone: the designer's
main thread waits for its jobs before it ends)."""
import hashlib
import os
import shutil
import signal
import sys
import threading
import time
import urllib.parse
import zlib

import hostlib
from hostlib import Refusal, failure_line
from publish.designer import preview
from publish.designer.design import refusal_of
from publish import make_disc

# How long the preview waits after a change for the next one: typing
# makes one change a key.
DEBOUNCE_SECONDS = 0.3
# The lines of a disc job the page is given, the newest.
KEPT_LINES = 200
# How long the designer's end waits for its jobs to end by themselves,
# before it ends what they started, and then for them again.
ENDING_SECONDS = 5
CHUNK = 1 << 20


def ending():
    """Whether the designer was interrupted (Ctrl-C, SIGTERM)."""
    try:
        hostlib.check_interrupted()
    except BaseException:  # noqa: BLE001: the interrupt itself is the answer
        return True
    return False


def url_of(folder, path, prefix):
    """The page's URL of a file inside one of the designer's folders."""
    return prefix + urllib.parse.quote(os.path.relpath(path, folder))


class PreviewWorker:
    """Draws the newest design's preview, one at a time, in its own
    thread; the pictures go to folder/GENERATION/."""

    def __init__(self, folder, showcase, template, sessions, work):
        self.folder = folder
        self.session = preview.Session(showcase, template, sessions, work)
        self.changed = threading.Condition()
        self.asked = 0              # the newest design's number
        self.wanted = None          # (number, options, when asked)
        self.state = {"generation": 0, "state": "idle", "pictures": [], "findings": {}}
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.run, name="preview", daemon=True)
        self.thread.start()

    def ask(self, options):
        """A new design to show; its number."""
        with self.changed:
            self.asked += 1
            self.wanted = (self.asked, options, time.monotonic())
            self.state.update(generation=self.asked, state="waiting", step="waiting for changes "
                              "to settle", refusal=None, error=None)
            self.changed.notify_all()
            return self.asked

    def refused(self, refusal, findings=None):
        """A design the disc command refused: the preview shows the last
        one it took, and says so."""
        with self.changed:
            self.asked += 1
            self.wanted = None
            self.state.update(generation=self.asked, state="refused", refusal=refusal,
                              error=None, step=None)
            if findings is not None:
                self.state["findings"] = findings
            self.changed.notify_all()

    def status(self):
        with self.changed:
            return dict(self.state)

    def stop(self):
        self.stopping.set()
        with self.changed:
            self.changed.notify_all()

    def superseded(self, number):
        return number != self.asked or self.stopping.is_set() or ending()

    def step(self, number, text):
        with self.changed:
            if number == self.asked:
                self.state["step"] = text

    def next_design(self):
        """The design to draw once changes have settled; None when the
        designer ends."""
        with self.changed:
            while not self.stopping.is_set():
                if self.wanted is not None:
                    number, options, asked = self.wanted
                    # Changes settle when none came for a while; a
                    # refusal in the while leaves nothing to draw.
                    if self.changed.wait(DEBOUNCE_SECONDS) or self.wanted is None \
                            or self.wanted[0] != number:
                        continue
                    self.wanted = None
                    self.state.update(state="building", step="building the launcher")
                    return number, options, asked
                self.changed.wait(1)
        return None

    def run(self):
        try:
            # The session starts while the page loads and the first
            # launcher builds; one that fails is started again at the
            # next preview, which then says why.
            try:
                self.session.start()
            except preview.PreviewError:
                pass
            while True:
                design = None
                try:
                    design = self.next_design()
                    if design is None:
                        return
                    self.draw(*design)
                except (KeyboardInterrupt, hostlib.Interrupted):
                    raise
                except BaseException as error:  # noqa: BLE001: the worker outlives any fault
                    # Wherever it came from, waiting for a design or
                    # drawing one: said on the page and on the designer's
                    # output, and the next design is drawn as ever.
                    line = failure_line("designer: preview", error)
                    print(line, file=sys.stderr, flush=True)
                    self.finish(design[0] if design else self.asked, state="failed", error=line)
        except BaseException:  # noqa: BLE001: interrupted; the designer's end follows
            return
        finally:
            self.session.close()

    def draw(self, number, options, asked):
        folder = os.path.join(self.folder, str(number))
        try:
            drawn = preview.draw(options, folder, self.session, lambda: self.superseded(number),
                                 lambda text: self.step(number, text))
        except preview.Superseded:
            shutil.rmtree(folder, ignore_errors=True)
            return
        except Refusal as error:
            shutil.rmtree(folder, ignore_errors=True)
            self.finish(number, state="refused", refusal=refusal_of(error),
                        findings=getattr(error, "findings", None))
            return
        except preview.PreviewError as error:
            shutil.rmtree(folder, ignore_errors=True)
            self.finish(number, state="failed", error=f"designer: preview: {error}")
            return
        except Exception as error:  # noqa: BLE001: one line on the page, the server goes on
            shutil.rmtree(folder, ignore_errors=True)
            self.finish(number, state="failed", error=failure_line("designer", error))
            return
        pictures = [{"code": picture.code, "language": picture.language,
                     "url": url_of(self.folder, picture.path, "/preview/")}
                    for picture in drawn.pictures]
        if not self.finish(number, state="ready", pictures=pictures, system=drawn.system,
                           findings=drawn.findings, seconds=round(drawn.seconds, 1),
                           building=round(drawn.building, 1),
                           since_change=round(time.monotonic() - asked, 1), shown=number):
            shutil.rmtree(folder, ignore_errors=True)
            return
        # Only the pictures shown are kept.
        for name in os.listdir(self.folder):
            if name != str(number):
                shutil.rmtree(os.path.join(self.folder, name), ignore_errors=True)

    def finish(self, number, **state):
        """Publishes a drawn preview's state unless a newer design came;
        whether it did."""
        with self.changed:
            if number != self.asked:
                return False
            if state.get("findings") is None:
                state.pop("findings", None)
            self.state.update(step=None, refusal=None, error=None)
            self.state.update(state)
            return True


class Busy(Exception):
    """A disc job runs already."""


class DiscJobs:
    """Making and trying discs, one job at a time, into the output folder."""

    def __init__(self, output, driver, template):
        self.output, self.driver, self.template = output, driver, template
        self.lock = threading.Lock()
        self.number = 0
        self.state = None
        self.thread = None
        self.made = None            # (design's fingerprint, the make result's state)

    def status(self):
        with self.lock:
            if self.state is None:
                return None
            state = dict(self.state)
            state["lines"] = list(state["lines"])
            return state

    def start(self, kind, options, fingerprint, versions=None):
        """Starts making (kind "make") or trying ("try") the disc of the
        options; Busy while another job runs."""
        with self.lock:
            if self.thread is not None and self.thread.is_alive():
                raise Busy("a disc is being made or tried; wait until it has finished")
            self.number += 1
            self.state = {"id": self.number, "kind": kind, "state": "running", "step": None,
                          "progress": None, "lines": [], "result": None, "refusal": None,
                          "error": None, "made": None}
            target = self.make if kind == "make" else self.trial
            arguments = (options, fingerprint) if kind == "make" else \
                (options, fingerprint, versions)
            self.thread = threading.Thread(target=self.run, args=(target, self.number, arguments),
                                           name=kind, daemon=True)
            self.thread.start()
            return self.number

    def update(self, **changes):
        with self.lock:
            self.state.update(changes)

    def report(self, kind, text, fraction=None):
        """make_disc's and run_trial's reports, as the page shows them."""
        with self.lock:
            if kind in ("line", "warning"):
                self.state["lines"].append(text)
                del self.state["lines"][:-KEPT_LINES]
            elif kind == "step":
                self.state["step"] = text
            elif kind == "progress":
                self.state["progress"] = {"what": text, "fraction": fraction,
                                          "overall": overall(self.state["kind"], text, fraction)}

    def run(self, target, number, arguments):
        try:
            target(*arguments)
            self.update(state="done")
        except Refusal as error:
            self.update(state="refused", refusal=refusal_of(error))
        except Exception as error:  # noqa: BLE001: one line on the page, the server goes on
            self.update(state="failed", error=failure_line(f"designer: {self.state['kind']}",
                                                           error, (preview.winelayer.WineError,)))
        except BaseException:  # noqa: BLE001: interrupted, the designer is ending
            self.update(state="failed", error="designer: interrupted")

    def make(self, options, fingerprint):
        from discimage.names import disc_names
        from make_image import report_image
        # The design was checked when the job was asked for; make_disc()
        # checks it again before it builds.
        texts = make_disc.brand_texts(options)
        stem, _ = disc_names(texts["product"], texts["version"])
        options.output = os.path.join(self.output, stem + ".iso")
        result = make_disc.make_disc(options, self.report)
        image = result.image
        lines = []
        report_image(image, lines.append)
        crc, sha = checksums(image.output)
        lines += [f"image CRC-32: {crc:08X}", f"image SHA-256: {sha}"]
        report = os.path.join(self.output, stem + "-report.txt")
        with open(report + ".partial", "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
        os.replace(report + ".partial", report)
        from discimage.names import media_line
        made = {"image": url_of(self.output, image.output, "/files/"),
                "name": os.path.basename(image.output), "size": image.size,
                "label": image.label, "media": media_line(image.size),
                "crc32": f"{crc:08X}", "sha256": sha, "warnings": image.warnings,
                "report": url_of(self.output, report, "/files/"), "report_text": "\n".join(lines),
                "path": image.output}
        with self.lock:
            self.made = (fingerprint, made)
            self.state["made"] = made
            self.state["result"] = made
        return made

    def trial(self, options, fingerprint, versions):
        import try_disc
        with self.lock:
            made = self.made
        if made is None or made[0] != fingerprint or not os.path.isfile(made[1]["path"]):
            self.report("step", "making the disc first")
            made = (fingerprint, self.make(options, fingerprint))
        image = made[1]["path"]
        with self.lock:
            self.state.update(made=made[1], result=None, progress=None)
        stem = os.path.splitext(os.path.basename(image))[0]
        folder = os.path.join(self.output, "try", stem)
        os.makedirs(os.path.dirname(folder), exist_ok=True)
        self.report("step", "trying the disc on " + (", ".join(versions) if versions else
                                                     "every version Wine offers"))
        text, kept = try_disc.run_trial(image, self.driver, self.template, output=folder,
                                        versions=",".join(versions) if versions else None,
                                        report=self.report)
        rows = report_rows(text)
        for row in rows:
            picture = os.path.join(folder, row["wine"] + ".png")
            row["picture"] = url_of(self.output, picture, "/files/") \
                if os.path.isfile(picture) else None
        self.update(result={"sheet": url_of(self.output, os.path.join(folder, "sheet.png"),
                                            "/files/"),
                            "report": url_of(self.output, os.path.join(folder, "report.txt"),
                                             "/files/"),
                            "rows": rows, "kept": kept,
                            "summary": text.strip().splitlines()[-1]})

    def wait(self, seconds):
        thread = self.thread
        if thread is not None:
            thread.join(seconds)


def overall(kind, what, fraction):
    """The whole job's fraction done: a disc's writing is its first half
    and its verifying the second; a trial's fraction is its own."""
    if what.endswith("writing the image"):
        return fraction / 2
    if what.endswith("verifying the image"):
        return 0.5 + fraction / 2
    return fraction


def checksums(path):
    """The image's CRC-32 and SHA-256."""
    crc, sha = 0, hashlib.sha256()
    with open(path, "rb") as source:
        while True:
            chunk = source.read(CHUNK)
            if not chunk:
                break
            crc = zlib.crc32(chunk, crc)
            sha.update(chunk)
    return crc, sha.hexdigest()


# The trial's report, as disctrial.sheet.report() writes it: a header of
# these columns, each as wide as its widest cell, then a row per version
# and a line of counts.
COLUMNS = ("Version", "Language", "Tree", "What appeared", "SETUP.EXE", "Signature", "Verdict")


def report_rows(text):
    """The rows of the trial's report, each a dict of its columns, with
    the version's Wine name ("wine") and whether it kept the promise."""
    from disctrial.verdict import VERSIONS
    lines = text.rstrip("\n").splitlines()
    header, rows = lines[0], lines[1:-1]
    starts = []
    at = 0
    for column in COLUMNS:
        at = header.index(column, at)
        starts.append(at)
    by_name = {version.shown_name: version.wine_name for version in VERSIONS}
    found = []
    for line in rows:
        cells = [line[start:end].strip() for start, end in
                 zip(starts, starts[1:] + [len(line)])]
        row = dict(zip(COLUMNS, cells))
        row["wine"] = by_name.get(row["Version"], "")
        row["as_promised"] = row["Verdict"].startswith("as promised")
        found.append(row)
    return found


def end_descendants():
    """Ends whatever the designer's jobs started and left (a tool a worker
    was waiting on when the designer ended): asked, then made to."""
    for number in (signal.SIGTERM, signal.SIGKILL):
        left = descendants(os.getpid())
        if not left:
            return
        for pid in left:
            try:
                os.kill(pid, number)
            except OSError:
                pass
        deadline = time.monotonic() + ENDING_SECONDS
        while descendants(os.getpid()) and time.monotonic() < deadline:
            time.sleep(0.1)


def descendants(pid):
    """The processes below pid now (not yet reaped ones left out)."""
    table = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat", encoding="ascii", errors="replace") as source:
                    fields = source.read().rsplit(")", 1)[1].split()
                if fields[0] != "Z":
                    table[int(entry)] = int(fields[1])
            except (OSError, IndexError, ValueError):
                pass
    found, queue = [], [pid]
    while queue:
        parent = queue.pop()
        for child, ppid in table.items():
            if ppid == parent and child not in found:
                found.append(child)
                queue.append(child)
    return found
