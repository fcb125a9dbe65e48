"""What each Windows version should do with the disc, and whether it did.

The launcher accepts the systems its version block lists
("SupportedSystems", in a launcher built with a list) or, when it lists
none, Windows 95, 98, Me, NT 3.51, NT 4.0, 2000 and XP, and Win32s as
another platform: there its window shows and Start Install starts the
disc's own SETUP.EXE, however briefly that runs. It refuses the others
with "Unsupported Operating System". Another tool's program is only held
to having started and shown something."""
from dataclasses import dataclass

from launcher.contract import LAUNCHER
from discimage.authenticode import BROKEN, UNSIGNED
from disctrial.bounds import FIGURES
from disctrial.texts import ENGLISH, code_name, program_resources, texts_seen


@dataclass(frozen=True)
class WindowsVersion:
    wine_name: str          # Wine's name of the version (--versions, the pictures)
    shown_name: str         # the name the report shows
    system: str             # the launcher's name of the system (--systems)
    reads_joliet: bool      # Windows NT 3.51 reads only the ISO 9660 names
    accepted: bool          # whether a launcher without a list runs on it
    setting: str            # the Windows version to set in Wine for it


# Every Win32 version Wine offers, in the order of their release: the
# launcher's systems that Wine has a version of.
VERSIONS = [WindowsVersion(system.wine, system.shown, system.name, system.joliet,
                           system.original, system.setting)
            for system in LAUNCHER.wine_versions()]
SYSTEMS_ENTRY = b"SupportedSystems"
# The version on which a second copy is started beside the first.
SECOND_COPY_VERSION = "winxp"
UNSUPPORTED_TEXT = ENGLISH.unsupported
ONE_INSTANCE_TEXT = ENGLISH.second_instance
# The installer's name on the disc, in the upper case of an ISO 9660 name.
SETUP_NAME = LAUNCHER.installer.upper()


@dataclass(frozen=True)
class Outcome:
    """What one version did with the disc."""
    version: WindowsVersion
    tree: str               # the tree of names it read
    ours: bool              # whether that tree's program is this launcher
    problems: tuple         # AUTORUN.INF's problems in that tree, the fatal ones first
    started: bool           # whether autorun started anything
    facts: dict             # the trial driver's key=value record
    shot: bytes | None      # the picture it took (BMP), which may be missing
    bound: float | None     # the session's bound in seconds, when it did not finish in it
    systems: frozenset | None = None    # the launcher's list; None: it has none
    tables: dict | None = None          # the launcher's string tables, by language
    code: str | None = None             # the language whose locale the session ran in
    stopped: str | None = None          # the session's bound its programs reached (bounds.py)
    signature: object = None            # the program's signature (discimage.authenticode)


@dataclass(frozen=True)
class ReportRow:
    """One version's line of the report and tile of the sheet."""
    shown_name: str
    language: str           # the language the launcher spoke in the session
    tree: str
    appeared: str           # what the program showed
    setup: str              # what Start Install started
    as_promised: bool
    reason: str
    signature: str = "-"    # who signed the program, and whether intact


def is_our_launcher(program_bytes):
    """The launcher carries both of its refusal texts."""
    return UNSUPPORTED_TEXT.encode() in program_bytes and ONE_INSTANCE_TEXT.encode() in program_bytes


def launcher_systems(program_bytes):
    """The systems the launcher lists in its version block, or None when
    it lists none (or is no program pefile reads)."""
    program = program_resources(program_bytes)
    for info in getattr(program, "FileInfo", ()):
        for entry in info:
            for table in getattr(entry, "StringTable", ()):
                if SYSTEMS_ENTRY in table.entries:
                    return frozenset(table.entries[SYSTEMS_ENTRY].decode("ascii", "replace")
                                     .split(","))
    return None


def accepts(version, systems):
    """Whether a launcher with that list (None: none) runs on the version."""
    if systems is None:
        return version.accepted
    return version.system in systems


def what_appeared(facts):
    appeared = facts.get("appeared", "timeout")
    if appeared == "window":
        return f'window "{facts.get("title", "")}"'
    if appeared == "box":
        return f'box "{facts.get("caption", "")}": "{facts.get("text", "")}"'
    if appeared == "nothing":
        return f'nothing (exit code {facts.get("exit", "?")})'
    if appeared == "crash":
        code = facts.get("exit", "0")
        return f'a crash (exception {int(code) if code.isdigit() else 0:08X})'
    if appeared == "stopped":
        return "nothing before it was stopped"
    return "no answer within the time limit"


def what_started_in_turn(facts):
    """What the program Start Install started went on to start."""
    then = [line for line in facts.get("then", "").split("\n") if line]
    return f"; it started {', '.join(then)}" if then else ""


def started_by_start_install(facts):
    """The program Start Install started, with its path, or None."""
    started = facts.get("started", "none")
    return None if started == "none" else started


def setup_started(facts, drive):
    """Whether Start Install started the drive's own SETUP.EXE."""
    started = started_by_start_install(facts)
    return started is not None and started.lower() == f"{drive}:\\{SETUP_NAME}".lower()


def setup_column(facts, drive):
    """What the report says Start Install did."""
    if setup_started(facts, drive):
        return "started from the drive"
    started = started_by_start_install(facts)
    return "not started" if started is None else f"started {started}"


def launcher_texts(outcome):
    """The texts the launcher showed in the outcome's session: its own, in
    the language it took there."""
    return texts_seen(outcome.tables or {}, outcome.facts)


def verdict(outcome, drive):
    """(as promised, reason)."""
    facts = outcome.facts
    appeared = facts.get("appeared", "timeout")
    texts = launcher_texts(outcome)
    if outcome.problems:
        return False, outcome.problems[0]
    if broken_signature(outcome) and not outcome.version.accepted:
        return False, ("its signature is broken (the signed bytes changed), which Windows after "
                       "XP refuses to run")
    if outcome.stopped:
        return False, (f"stopped: its programs reached the session's bound of "
                       f"{FIGURES.get(outcome.stopped, outcome.stopped)}")
    if outcome.bound is not None:
        return False, f"the session did not finish within its bound of {outcome.bound:.0f} s"
    if not outcome.ours:
        if appeared in ("window", "box"):
            return True, "started and showed something"
        return False, "showed " + what_appeared(facts)
    if not accepts(outcome.version, outcome.systems):
        if appeared == "box" and facts.get("text") == texts.unsupported:
            return True, "refused, as it should"
        return False, f"should refuse with \"{texts.unsupported}\" but showed " + \
            what_appeared(facts)
    if appeared != "window":
        return False, "should show its window but showed " + what_appeared(facts)
    if not setup_started(facts, drive):
        started = started_by_start_install(facts)
        return False, ("Start Install started nothing" if started is None else
                       f"Start Install started {started}, not the disc's {SETUP_NAME}")
    reason = "window shown, the disc's SETUP.EXE started" + what_started_in_turn(facts)
    if "second_caption" in facts:
        if facts.get("second_text") != texts.second_instance:
            return False, (f"a second copy should be refused with \"{texts.second_instance}\" "
                           f"but showed \"{facts.get('second_text') or facts['second_caption'] or 'nothing'}\"")
        reason += "; a second copy was refused"
    return True, reason


def broken_signature(outcome):
    return outcome.signature is not None and outcome.signature.state == BROKEN


def signature_column(outcome):
    """Who signed the program, and whether the signature is intact."""
    signature = outcome.signature
    if signature is None:
        return "-"
    if signature.state == UNSIGNED:
        return "unsigned"
    return f"signed by {signature.signer or 'an unknown signer'}, {signature.state}"


def judge(outcome, drive):
    """The version's report row: the language the launcher spoke, what
    appeared, what Start Install started, and the verdict."""
    as_promised, reason = verdict(outcome, drive)
    language = launcher_texts(outcome).language if outcome.ours and outcome.started else "-"
    name = outcome.version.shown_name
    if outcome.code:
        name += f" ({code_name(outcome.code)} locale)"
    return ReportRow(name, language, outcome.tree,
                     what_appeared(outcome.facts) if outcome.started else "not started",
                     setup_column(outcome.facts, drive), as_promised, reason,
                     signature_column(outcome))
