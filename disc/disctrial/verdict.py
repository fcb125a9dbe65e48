"""What each Windows version should do with the disc, and whether it did.

The launcher accepts Windows 95, 98, Me, NT 3.51, NT 4.0, 2000 and XP, and
Win32s as another platform: there its window shows and Start Install
starts the disc's own SETUP.EXE. It refuses Server 2003, Vista and 10 with
"Unsupported Operating System". Another tool's program is only held to
having started and shown something."""
# Wine's name, the name shown, whether it reads Joliet, whether the
# launcher accepts it.
VERSIONS = [
    ("win95", "Windows 95", True, True),
    ("win98", "Windows 98", True, True),
    ("winme", "Windows Me", True, True),
    ("nt351", "Windows NT 3.51", False, True),
    ("nt40", "Windows NT 4.0", True, True),
    ("win2k", "Windows 2000", True, True),
    ("winxp", "Windows XP", True, True),
    ("win31", "Win32s", True, True),
    ("win2003", "Windows Server 2003", True, False),
    ("vista", "Windows Vista", True, False),
    ("win10", "Windows 10", True, False),
]
# The version on which a second copy is started beside the first.
SECOND_COPY_VERSION = "winxp"
UNSUPPORTED_TEXT = "Unsupported Operating System"
ONE_INSTANCE_TEXT = "Only one instance of this program allowed!"
SETUP_NAME = "SETUP.EXE"



def is_our_launcher(program_bytes):
    """The launcher carries both of its refusal texts."""
    return UNSUPPORTED_TEXT.encode() in program_bytes and ONE_INSTANCE_TEXT.encode() in program_bytes


def what_appeared(facts):
    appeared = facts.get("appeared", "timeout")
    if appeared == "window":
        return f'window "{facts.get("title", "")}"'
    if appeared == "box":
        return f'box "{facts.get("caption", "")}": "{facts.get("text", "")}"'
    if appeared == "nothing":
        return f'nothing (exit code {facts.get("exit", "?")})'
    if appeared == "crash":
        return f'a crash (exception {int(facts.get("exit", "0")):08X})'
    return "no answer within the time limit"


def setup_started(facts, drive):
    """Whether Start Install started the drive's own SETUP.EXE."""
    started = facts.get("started", "none")
    return started.lower() == f"{drive}:\\{SETUP_NAME}".lower()


def judge(version, facts, ours, drive, problems):
    """The verdict: (as promised, reason)."""
    name, accepted = version[0], version[3]
    appeared = facts.get("appeared", "timeout")
    if problems:
        return False, problems[0]
    if not ours:
        if appeared in ("window", "box"):
            return True, "started and showed something"
        return False, "showed " + what_appeared(facts)
    if not accepted:
        if appeared == "box" and facts.get("text") == UNSUPPORTED_TEXT:
            return True, "refused, as it should"
        return False, f"should refuse with \"{UNSUPPORTED_TEXT}\" but showed " + what_appeared(facts)
    if appeared != "window":
        return False, "should show its window but showed " + what_appeared(facts)
    if not setup_started(facts, drive):
        started = facts.get("started", "none")
        return False, ("Start Install started nothing" if started == "none" else
                       f"Start Install started {started}, not the disc's {SETUP_NAME}")
    if name == SECOND_COPY_VERSION and facts.get("second_text") != ONE_INSTANCE_TEXT:
        return False, (f"a second copy should be refused with \"{ONE_INSTANCE_TEXT}\" but showed "
                       f"\"{facts.get('second_text', facts.get('second_caption', 'nothing'))}\"")
    return True, "window shown, the disc's SETUP.EXE started"
